#include "video/NetworkStream.h"

#include "video/FfmpegPixel.h"

#include <QUrl>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

namespace vigilux::video {

namespace {

using Pixel = video::FrameLayout::Pixel;

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The decoder's own formats that FrameLayout reads, by their byte layout
// (full-range 4:2:0 lies in memory as limited-range 4:2:0 does). Must match
// replay's choice so a stream and its recording give the detector the same
// bytes.

// Demuxers of single pictures: the address is a snapshot, one frame each.
bool pictureDemuxer(const AVInputFormat* format) {
    if (!format || !format->name)
        return false;
    const QByteArray name(format->name);
    return name == "image2" || name.endsWith("_pipe");
}

QByteArray micros(int ms) {
    return QByteArray::number(static_cast<qint64>(ms) * 1000);
}

} // namespace

QString streamErrorText(StreamError error) {
    switch (error) {
    case StreamError::None:
        return {};
    case StreamError::Stopped:
        return QStringLiteral("Приём остановлен");
    case StreamError::Ended:
        return QStringLiteral("Камера прервала передачу");
    case StreamError::Stalled:
        return QStringLiteral("Камера не отвечает");
    case StreamError::Unreachable:
        return QStringLiteral("Не удалось подключиться к камере");
    case StreamError::LoginRefused:
        return QStringLiteral("Неверное имя пользователя или пароль камеры");
    case StreamError::Forbidden:
        return QStringLiteral("Камера отказала в доступе");
    case StreamError::ServerError:
        return QStringLiteral("Камера ответила ошибкой");
    case StreamError::NotFound:
        return QStringLiteral("На камере нет такого адреса");
    case StreamError::TooLarge:
        return QStringLiteral("Камера прислала слишком большой кадр");
    case StreamError::BadData:
        return QStringLiteral("Камера присылает данные, которые не удалось разобрать");
    case StreamError::BadAddress:
        return QStringLiteral("Неверный адрес камеры");
    }
    return {};
}

struct NetworkStream::Impl {
    NetworkLimits limits;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* sws = nullptr;
    int swsKey[3] = {}; // format, width and height sws was made for
    int stream = -1;
    bool pictures = false;
    bool draining = false;
    StreamError endError = StreamError::Ended; // why reading stopped, once draining
    std::int64_t lastGoodMs = 0;               // when a frame last came out whole
    bool refused = false;                      // a packet refused since then

    // Read by the interrupt callback, which FFmpeg calls on the reading
    // thread; only `stop` is written from elsewhere.
    std::atomic<bool> stop{false};
    std::int64_t deadlineMs = 0;
    std::int64_t bytesAtStart = 0;
    StreamError interruptReason = StreamError::None;

    ~Impl() {
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    // Bounds the next blocking call: FFmpeg polls this every 0.1 s or so
    // while it waits on a socket, and between the reads of a long packet.
    static int interrupted(void* opaque) {
        auto* d = static_cast<Impl*>(opaque);
        if (d->stop.load(std::memory_order_relaxed)) {
            d->interruptReason = StreamError::Stopped;
            return 1;
        }
        if (d->format && d->format->pb &&
            d->format->pb->bytes_read - d->bytesAtStart > d->limits.maxPacketBytes) {
            // A picture without end (a boundary that never comes, a 100 MB
            // part): refused before it is all in memory.
            d->interruptReason = StreamError::TooLarge;
            return 1;
        }
        if (steadyMs() > d->deadlineMs) {
            // Bytes kept coming but never made a whole packet: a picture
            // without end, not a silent camera.
            const bool flowing =
                d->format && d->format->pb && d->format->pb->bytes_read > d->bytesAtStart;
            d->interruptReason = flowing ? StreamError::TooLarge : StreamError::Stalled;
            return 1;
        }
        return 0;
    }

    void arm(int timeoutMs) {
        deadlineMs = steadyMs() + timeoutMs;
        bytesAtStart = format && format->pb ? format->pb->bytes_read : 0;
        // interruptReason stays: probing swallows an interrupt, and the next
        // read then fails with the same AVERROR_EXIT, for the same reason.
    }

    StreamError classify(int rc, bool opening) const {
        if (rc == AVERROR_EXIT)
            return interruptReason == StreamError::None ? StreamError::Stalled : interruptReason;
        switch (rc) {
        case AVERROR_HTTP_UNAUTHORIZED:
            return StreamError::LoginRefused;
        case AVERROR_HTTP_FORBIDDEN:
            return StreamError::Forbidden;
        case AVERROR_HTTP_NOT_FOUND:
            return StreamError::NotFound;
        case AVERROR_HTTP_BAD_REQUEST:
        case AVERROR_HTTP_OTHER_4XX:
        case AVERROR_HTTP_SERVER_ERROR:
            return StreamError::ServerError;
        case AVERROR_EOF:
            return StreamError::Ended;
        case AVERROR(ETIMEDOUT):
            return StreamError::Stalled;
        case AVERROR(ECONNREFUSED):
        case AVERROR(EHOSTUNREACH):
        case AVERROR(ENETUNREACH):
        case AVERROR(EADDRNOTAVAIL):
            return StreamError::Unreachable;
        case AVERROR(ECONNRESET):
        case AVERROR(EPIPE):
        case AVERROR(EIO):
            // A name that does not resolve fails with EIO while opening.
            return opening ? StreamError::Unreachable : StreamError::Ended;
        default:
            return StreamError::BadData;
        }
    }

    bool pack(std::vector<std::uint8_t>& out, video::FrameLayout& layout) {
        const AVFrame* f = frame;
        if (f->width <= 0 || f->height <= 0)
            return false;
        Pixel pixel = ffmpegPixel(f->format);
        const bool convert = pixel == Pixel::Unknown;
        if (convert)
            pixel = Pixel::Yuv420p;
        layout = video::FrameLayout::packed(pixel, QSize(f->width, f->height));
        if (!layout.isValid())
            return false;
        if (out.size() < static_cast<std::size_t>(layout.bytes))
            out.resize(static_cast<std::size_t>(layout.bytes));
        if (!convert) {
            return layout.pack({f->data[0], f->data[1], f->data[2]},
                               {f->linesize[0], f->linesize[1], f->linesize[2]}, out.data());
        }
        // As replay does: plain copying of samples, no threads, same bytes
        // every run.
        // Kept while the frames keep their format and size: FFmpeg's own
        // cache makes a new context for every full-range (yuvj) frame.
        const int key[3] = {f->format, f->width, f->height};
        if (!sws || !std::equal(key, key + 3, swsKey)) {
            sws_freeContext(sws);
            const int flags = SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND;
            sws =
                sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                               f->height, AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr);
            std::copy(key, key + 3, swsKey);
        }
        if (!sws)
            return false;
        std::uint8_t* dst[4] = {};
        int dstStride[4] = {};
        for (int i = 0; i < layout.planeCount; ++i) {
            dst[i] = out.data() + layout.offset[static_cast<std::size_t>(i)];
            dstStride[i] = layout.stride[static_cast<std::size_t>(i)];
        }
        return sws_scale(sws, f->data, f->linesize, 0, f->height, dst, dstStride) == f->height;
    }
};

NetworkStream::NetworkStream(NetworkLimits limits)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->limits = limits;
}

NetworkStream::~NetworkStream() = default;

void NetworkStream::requestStop() {
    m_impl->stop.store(true, std::memory_order_relaxed);
}

bool NetworkStream::servesPictures() const {
    return m_impl->pictures;
}

QByteArray NetworkStream::ffmpegUrl(const video::CaptureSource& source) {
    QUrl url(source.address);
    if (!source.user.isEmpty() || !source.password.isEmpty()) {
        url.setUserName(source.user);
        url.setPassword(source.password);
    }
    return url.toEncoded();
}

bool NetworkStream::open(const video::CaptureSource& source) {
    Impl& d = *m_impl;
    m_error = StreamError::None;
    if (d.format || d.codec) {
        m_error = StreamError::BadData; // one session per object
        return false;
    }
    if (!video::CaptureSource::isNetworkAddress(source.address)) {
        m_error = StreamError::BadAddress;
        return false;
    }
    const QString scheme = QUrl(source.address).scheme().toLower();
    const bool rtsp = scheme.startsWith(QLatin1String("rtsp"));

    // Once per process: sockets and TLS set up as FFmpeg asks before the
    // first network use, and its log cut to errors, since a live stream's
    // warnings (a late packet, a lost RTP slice) would fill the terminal.
    static std::once_flag networkReady;
    std::call_once(networkReady, [] {
        avformat_network_init();
        if (av_log_get_level() > AV_LOG_ERROR)
            av_log_set_level(AV_LOG_ERROR);
    });

    d.format = avformat_alloc_context();
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.format || !d.packet || !d.frame) {
        m_error = StreamError::TooLarge;
        return false;
    }
    d.format->interrupt_callback = {&Impl::interrupted, &d};
    d.format->probesize = d.limits.probeBytes;
    d.format->format_probesize =
        static_cast<int>(std::min<std::int64_t>(d.limits.probeBytes, 1 << 20));
    d.format->max_analyze_duration = AV_TIME_BASE; // live: one second tells enough

    AVDictionary* options = nullptr;
    // The protocols' own socket bounds back up the interrupt callback.
    const QByteArray timeout = micros(d.limits.readTimeoutMs);
    if (rtsp) {
        av_dict_set(&options, "rtsp_transport",
                    source.transport == video::CaptureSource::Transport::Udp ? "udp" : "tcp", 0);
        av_dict_set(&options, "timeout", timeout.constData(), 0);
    } else {
        av_dict_set(&options, "timeout", timeout.constData(), 0);
        av_dict_set(&options, "rw_timeout", timeout.constData(), 0);
        av_dict_set(&options, "reconnect", "0", 0); // reconnecting is ours to pace
        av_dict_set(&options, "seekable", "0", 0);
    }
    av_dict_set(&options, "user_agent", "Vigilux", 0);

    d.arm(d.limits.openTimeoutMs);
    const QByteArray url = ffmpegUrl(source);
    int rc = avformat_open_input(&d.format, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) {
        m_error = d.classify(rc, true);
        return false;
    }
    d.pictures = pictureDemuxer(d.format->iformat);

    // The probing decoders get the same picture limit as ours.
    std::vector<AVDictionary*> probeOptions(d.format->nb_streams, nullptr);
    const QByteArray maxPixels = QByteArray::number(static_cast<qint64>(d.limits.maxPixels));
    for (AVDictionary*& o : probeOptions)
        av_dict_set(&o, "max_pixels", maxPixels.constData(), 0);
    rc = avformat_find_stream_info(d.format, probeOptions.empty() ? nullptr : probeOptions.data());
    for (AVDictionary*& o : probeOptions)
        av_dict_free(&o);
    if (rc < 0) {
        m_error = d.classify(rc, false);
        if (m_error == StreamError::Ended)
            m_error = StreamError::BadData; // closed before a picture: nothing usable came
        return false;
    }
    for (unsigned i = 0; i < d.format->nb_streams; ++i) {
        AVStream* s = d.format->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && d.stream < 0 &&
            !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            d.stream = static_cast<int>(i);
        } else {
            s->discard = AVDISCARD_ALL; // sound and data are not read
        }
    }
    if (d.stream < 0) {
        m_error = StreamError::BadData;
        return false;
    }
    AVStream* st = d.format->streams[d.stream];
    const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder) {
        m_error = StreamError::BadData;
        return false;
    }
    d.codec = avcodec_alloc_context3(decoder);
    if (!d.codec) {
        m_error = StreamError::TooLarge;
        return false;
    }
    rc = avcodec_parameters_to_context(d.codec, st->codecpar);
    if (rc >= 0) {
        // As replay decodes: one thread, bit-exact paths.
        d.codec->thread_count = 1;
        d.codec->thread_type = 0;
        d.codec->flags |= AV_CODEC_FLAG_BITEXACT;
        d.codec->pkt_timebase = st->time_base;
        d.codec->max_pixels = d.limits.maxPixels;
        rc = avcodec_open2(d.codec, decoder, nullptr);
    }
    if (rc < 0) {
        m_error = StreamError::BadData;
        return false;
    }
    d.lastGoodMs = steadyMs();
    return true;
}

bool NetworkStream::next(std::vector<std::uint8_t>& out, video::FrameLayout& layout,
                         const std::function<bool()>& wanted) {
    Impl& d = *m_impl;
    if (!d.codec) {
        if (m_error == StreamError::None)
            m_error = StreamError::BadData;
        return false;
    }
    for (;;) {
        if (d.stop.load(std::memory_order_relaxed)) {
            m_error = StreamError::Stopped;
            return false;
        }
        const int got = avcodec_receive_frame(d.codec, d.frame);
        if (got == 0) {
            const bool damaged =
                (d.frame->flags & AV_FRAME_FLAG_CORRUPT) != 0 || d.frame->decode_error_flags != 0;
            if (!damaged && wanted && !wanted()) {
                d.lastGoodMs = steadyMs();
                d.refused = false;
                continue;
            }
            if (!damaged && d.pack(out, layout)) {
                d.lastGoodMs = steadyMs();
                d.refused = false;
                return true;
            }
            d.refused = true;
        } else if (got == AVERROR_EOF) {
            m_error = d.endError;
            return false;
        } else if (got != AVERROR(EAGAIN)) {
            d.refused = true;
        } else if (d.draining) {
            m_error = d.endError;
            return false;
        } else {
            d.arm(d.limits.readTimeoutMs);
            const int rc = av_read_frame(d.format, d.packet);
            if (rc < 0) {
                d.endError = d.classify(rc, false);
                if (d.endError == StreamError::Stopped || d.endError == StreamError::TooLarge) {
                    m_error = d.endError;
                    return false;
                }
                // The frames the decoder still holds are whole: hand them out.
                d.draining = true;
                avcodec_send_packet(d.codec, nullptr);
                continue;
            }
            if (d.packet->stream_index == d.stream) {
                if (d.packet->size > d.limits.maxPacketBytes) {
                    av_packet_unref(d.packet);
                    m_error = StreamError::TooLarge;
                    return false;
                }
                if (avcodec_send_packet(d.codec, d.packet) < 0)
                    d.refused = true;
            }
            av_packet_unref(d.packet);
        }
        // Data keeps coming but none of it decodes: garbage, not a stall.
        if (d.refused && steadyMs() - d.lastGoodMs > d.limits.readTimeoutMs) {
            m_error = StreamError::BadData;
            return false;
        }
    }
}

} // namespace vigilux::video
