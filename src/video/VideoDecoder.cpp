#include "video/VideoDecoder.h"

#include "video/FfmpegPixel.h"

#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libavutil/version.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace vigilux::video {

namespace {

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

// Demuxers that accept files which hold no recorded video (text shown as a
// picture); the user gave the wrong file.
bool textDemuxer(const AVInputFormat* format) {
    return format && format->name && qstrcmp(format->name, "tty") == 0;
}

// Demuxers of single pictures (png, jpeg, ...): one frame is no recording.
bool stillDemuxer(const AVInputFormat* format) {
    if (!format || !format->name)
        return false;
    const QByteArray name(format->name);
    return name == "image2" || name.endsWith("_pipe");
}

bool fullRangeFormat(int format) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return false;
    }
}

using Pixel = video::FrameLayout::Pixel;

// The decoder's own formats that FrameLayout reads, by their byte layout
// (full-range 4:2:0 lies in memory as limited-range 4:2:0 does).

} // namespace

std::int64_t MediaTime::floorMs() const {
    return av_rescale_rnd(ticks, std::int64_t{num} * 1000, den, AV_ROUND_DOWN);
}

bool MediaTime::atOrAfter(std::int64_t ms) const {
    // ticks * num / den >= ms / 1000  <=>  ticks >= ceil(ms * den / (num * 1000))
    return ticks >= av_rescale_rnd(ms, den, std::int64_t{num} * 1000, AV_ROUND_UP);
}

std::int64_t MediaTime::periodsPassed(std::int64_t periodMs) const {
    return av_rescale_rnd(ticks, std::int64_t{num} * 1000, std::int64_t{den} * periodMs,
                          AV_ROUND_DOWN);
}

struct VideoDecoder::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* sws = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    AVRational timeBase{1, 1000};
    AVRational frameRate{0, 1};
    int width = 0;
    int height = 0;

    bool draining = false;
    bool ended = false;
    bool pending = false; // the first frame, decoded by open(), not yet handed out
    std::int64_t origin = AV_NOPTS_VALUE;
    std::int64_t last = AV_NOPTS_VALUE; // timestamp of the current frame
    std::int64_t frames = 0;
    std::int64_t decodeErrors = 0;
    std::int64_t corruptFrames = 0;
    bool corrupt = false; // the decoder marked the frame last decoded as damaged
    // After a decode error or a damaged frame, later frames are predicted
    // from a damaged picture until the next key frame starts afresh.
    bool awaitingKey = false;
    // Backward timestamp jumps: `shift` carries the timeline on past each.
    std::int64_t shift = 0;
    std::int64_t step = 0; // the last forward step between frames, stream units
    std::int64_t jumps = 0;
    std::int64_t firstJumpTicks = -1; // media time of the first jump

    // The detector's picture: the first frame's layout, packed.
    video::FrameLayout layout;
    int layoutFormat = AV_PIX_FMT_NONE; // its FFmpeg format
    std::uint8_t* packed = nullptr;
    bool packDone = false;
    bool packFailed = false;
    SwsContext* packSws = nullptr; // frames of another format or size only

    std::uint8_t* rgb = nullptr; // width * height * 3, no row padding
    bool converted = false;
    bool convertFailed = false;
    const SwsContext* colorSws = nullptr; // context the colour details were set on
    int colorKey = -1;

    ~Impl() {
        av_free(packed);
        sws_freeContext(packSws);
        av_free(rgb);
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    // Decodes one more frame into `frame`; false at the end.
    bool decode() {
        while (!ended) {
            const int got = avcodec_receive_frame(codec, frame);
            if (got == 0) {
                // Concealed errors and missing references leave a picture
                // that is partly invented: no motion may be read from it.
                corrupt =
                    (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0 || frame->decode_error_flags != 0;
                if (corrupt)
                    awaitingKey = true;
                else if (isKeyFrame())
                    awaitingKey = false;
                return true;
            }
            if (got == AVERROR_EOF) {
                ended = true;
                break;
            }
            if (got != AVERROR(EAGAIN)) {
                ++decodeErrors; // a damaged frame: the decoder moves on to the next
                awaitingKey = true;
                continue;
            }
            if (draining) {
                ended = true; // a decoder that never reports the end
                break;
            }
            const int read = av_read_frame(format, packet);
            if (read < 0) {
                // End of file (or a read error, which ends the file the same
                // way every time): flush the frames still held back.
                draining = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            // A damaged packet is skipped (and counted), the same way every run.
            if (packet->stream_index == stream && avcodec_send_packet(codec, packet) < 0) {
                ++decodeErrors;
                awaitingKey = true;
            }
            av_packet_unref(packet);
        }
        return false;
    }

    bool isKeyFrame() const {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(58, 7, 100)
        return (frame->flags & AV_FRAME_FLAG_KEY) != 0;
#else
        return frame->key_frame != 0;
#endif
    }

    // One frame's duration in stream units: the last step between frames,
    // or the stated frame rate.
    std::int64_t framePeriod() const {
        if (step > 0)
            return step;
        const AVRational rate = frameRate.num > 0 ? frameRate : AVRational{25, 1};
        return std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate), timeBase));
    }

    // The frame's timestamp in stream units on one continuous timeline.
    void stamp() {
        std::int64_t ts = frame->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) {
            // No timestamp: one frame period after the previous frame.
            ts = last == AV_NOPTS_VALUE ? 0 : last + framePeriod();
        } else {
            ts += shift;
        }
        if (origin == AV_NOPTS_VALUE)
            origin = ts;
        // A minute ahead of the last frame is no gap a recording has between
        // two frames; it is a damaged timestamp or a restarted clock.
        const std::int64_t leapTicks = av_rescale_q(60, AVRational{1, 1}, timeBase);
        if (last != AV_NOPTS_VALUE && (ts < last || ts - last > leapTicks)) {
            // Time runs backwards (recordings joined end to end, a camera
            // whose clock restarted) or leaps ahead: the timeline goes on one
            // frame after the last, so nothing that follows is passed over.
            const std::int64_t next = last + framePeriod();
            shift += next - ts;
            ts = next;
            if (jumps++ == 0)
                firstJumpTicks = last - origin;
        } else if (last != AV_NOPTS_VALUE && ts > last) {
            step = ts - last;
        }
        last = ts;
        ++frames;
        if (corrupt)
            ++corruptFrames;
        packDone = false;
        packFailed = false;
        converted = false;
        convertFailed = false;
    }
};

VideoDecoder::VideoDecoder()
    : m_impl(std::make_unique<Impl>()) {}

VideoDecoder::~VideoDecoder() = default;

core::Status VideoDecoder::open(const QString& path) {
    m_impl = std::make_unique<Impl>();
    Impl& d = *m_impl;

    const QFileInfo info(path);
    if (!info.exists()) {
        return core::Status::failure(QStringLiteral("no such file"));
    }
    if (info.isDir()) {
        return core::Status::failure(QStringLiteral("it is a folder, not a file"));
    }
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly)) {
            return core::Status::failure(QStringLiteral("cannot be read: ") + probe.errorString());
        }
    }

    const QByteArray name = QFile::encodeName(path);
    int rc = avformat_open_input(&d.format, name.constData(), nullptr, nullptr);
    if (rc < 0) {
        return core::Status::failure(QStringLiteral("not a video file (") + avError(rc) +
                                     QLatin1Char(')'));
    }
    if (textDemuxer(d.format->iformat)) {
        return core::Status::failure(QStringLiteral("not a video file"));
    }
    if (stillDemuxer(d.format->iformat)) {
        return core::Status::failure(QStringLiteral("a still picture, not a video"));
    }
    rc = avformat_find_stream_info(d.format, nullptr);
    if (rc < 0) {
        return core::Status::failure(QStringLiteral("not a video file (") + avError(rc) +
                                     QLatin1Char(')'));
    }
    for (unsigned i = 0; i < d.format->nb_streams; ++i) {
        const AVStream* s = d.format->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            d.stream = static_cast<int>(i);
            break;
        }
    }
    if (d.stream < 0) {
        return core::Status::failure(QStringLiteral("not a video file (no video stream)"));
    }
    AVStream* st = d.format->streams[d.stream];
    d.timeBase =
        st->time_base.num > 0 && st->time_base.den > 0 ? st->time_base : AVRational{1, 1000};
    d.frameRate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;

    const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder) {
        return core::Status::failure(QStringLiteral("no decoder for its video (") +
                                     QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id)) +
                                     QLatin1Char(')'));
    }
    d.codec = avcodec_alloc_context3(decoder);
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.codec || !d.packet || !d.frame) {
        return core::Status::failure(QStringLiteral("out of memory"));
    }
    rc = avcodec_parameters_to_context(d.codec, st->codecpar);
    if (rc >= 0) {
        // Frame threads could reorder work and, for some codecs, results;
        // one thread and bit-exact code paths give the same frames every run.
        d.codec->thread_count = 1;
        d.codec->thread_type = 0;
        d.codec->flags |= AV_CODEC_FLAG_BITEXACT;
        d.codec->pkt_timebase = d.timeBase;
        rc = avcodec_open2(d.codec, decoder, nullptr);
    }
    if (rc < 0) {
        return core::Status::failure(QStringLiteral("its video cannot be decoded (") + avError(rc) +
                                     QLatin1Char(')'));
    }

    // Only a decoded frame proves the file is video we can replay.
    if (!d.decode()) {
        return core::Status::failure(QStringLiteral("no video frame could be decoded"));
    }
    d.width = d.frame->width;
    d.height = d.frame->height;
    if (d.width <= 0 || d.height <= 0) {
        return core::Status::failure(QStringLiteral("its video has no picture size"));
    }
    // Formats FrameLayout does not read are converted once per frame to
    // 4:2:0 planar, the most common camera and file layout.
    Pixel pixel = ffmpegPixel(d.frame->format);
    d.layoutFormat = d.frame->format;
    if (pixel == Pixel::Unknown) {
        pixel = Pixel::Yuv420p;
        d.layoutFormat = AV_PIX_FMT_YUV420P;
    }
    d.layout = video::FrameLayout::packed(pixel, QSize(d.width, d.height));
    d.packed = static_cast<std::uint8_t*>(av_malloc(static_cast<std::size_t>(d.layout.bytes)));
    d.rgb = static_cast<std::uint8_t*>(
        av_malloc(static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.height) * 3));
    if (!d.rgb || !d.packed) {
        return core::Status::failure(QStringLiteral("out of memory"));
    }
    d.pending = true;
    return {};
}

int VideoDecoder::width() const {
    return m_impl->width;
}

int VideoDecoder::height() const {
    return m_impl->height;
}

double VideoDecoder::frameRate() const {
    const AVRational rate = m_impl->frameRate;
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
}

std::int64_t VideoDecoder::durationMs() const {
    const Impl& d = *m_impl;
    if (!d.format || d.stream < 0)
        return -1;
    const AVStream* st = d.format->streams[d.stream];
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        return av_rescale_q(st->duration, d.timeBase, AVRational{1, 1000});
    if (d.format->duration != AV_NOPTS_VALUE && d.format->duration > 0)
        return av_rescale(d.format->duration, 1000, AV_TIME_BASE);
    return -1;
}

std::optional<QDateTime> VideoDecoder::recordedAt() const {
    const Impl& d = *m_impl;
    if (!d.format)
        return std::nullopt;
    const AVDictionaryEntry* tag = av_dict_get(d.format->metadata, "creation_time", nullptr, 0);
    if (!tag && d.stream >= 0)
        tag = av_dict_get(d.format->streams[d.stream]->metadata, "creation_time", nullptr, 0);
    if (!tag || !tag->value)
        return std::nullopt;
    QDateTime when = QDateTime::fromString(QString::fromUtf8(tag->value), Qt::ISODateWithMs);
    if (!when.isValid())
        return std::nullopt;
    return when.toUTC();
}

bool VideoDecoder::next() {
    Impl& d = *m_impl;
    if (!d.codec)
        return false;
    if (d.pending) {
        d.pending = false;
    } else if (!d.decode()) {
        return false;
    }
    d.stamp();
    return true;
}

MediaTime VideoDecoder::time() const {
    const Impl& d = *m_impl;
    if (d.last == AV_NOPTS_VALUE)
        return {};
    return MediaTime{d.last - d.origin, d.timeBase.num, d.timeBase.den};
}

std::int64_t VideoDecoder::frameCount() const {
    return m_impl->frames;
}

std::int64_t VideoDecoder::damagedCount() const {
    return m_impl->decodeErrors + m_impl->corruptFrames;
}

std::int64_t VideoDecoder::decodeErrors() const {
    return m_impl->decodeErrors;
}

std::int64_t VideoDecoder::corruptFrames() const {
    return m_impl->corruptFrames;
}

bool VideoDecoder::corrupt() const {
    return m_impl->frames > 0 && m_impl->corrupt;
}

bool VideoDecoder::trustworthy() const {
    return m_impl->frames > 0 && !m_impl->corrupt && !m_impl->awaitingKey;
}

std::int64_t VideoDecoder::timestampJumps() const {
    return m_impl->jumps;
}

MediaTime VideoDecoder::firstJumpTime() const {
    const Impl& d = *m_impl;
    return MediaTime{std::max<std::int64_t>(0, d.firstJumpTicks), d.timeBase.num, d.timeBase.den};
}

const video::FrameLayout& VideoDecoder::layout() const {
    return m_impl->layout;
}

const std::uint8_t* VideoDecoder::picture() {
    Impl& d = *m_impl;
    if (!d.packed || d.frames == 0 || d.packFailed)
        return nullptr;
    if (d.packDone)
        return d.packed;
    d.packDone = pictureInto(d.packed);
    d.packFailed = !d.packDone;
    return d.packDone ? d.packed : nullptr;
}

bool VideoDecoder::pictureInto(std::uint8_t* out) {
    Impl& d = *m_impl;
    if (!d.packed || d.frames == 0 || d.packFailed)
        return false;
    if (d.packDone) {
        std::memcpy(out, d.packed, static_cast<std::size_t>(d.layout.bytes));
        return true;
    }
    const AVFrame* f = d.frame;
    const video::FrameLayout& l = d.layout;
    if (f->format == d.layoutFormat && f->width == d.width && f->height == d.height) {
        return l.pack({f->data[0], f->data[1], f->data[2]},
                      {f->linesize[0], f->linesize[1], f->linesize[2]}, out);
    }
    // Another format or size than the first frame: converted, so the
    // detector always compares buffers of one layout. Plain copying of
    // samples (no colour matrix) and no threads: the same bytes every run.
    const int flags = SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND;
    d.packSws = sws_getCachedContext(
        d.packSws, f->width, f->height, static_cast<AVPixelFormat>(f->format), d.width, d.height,
        static_cast<AVPixelFormat>(d.layoutFormat), flags, nullptr, nullptr, nullptr);
    if (!d.packSws)
        return false;
    std::uint8_t* dst[4] = {};
    int dstStride[4] = {};
    for (int i = 0; i < l.planeCount; ++i) {
        dst[i] = out + l.offset[static_cast<std::size_t>(i)];
        dstStride[i] = l.stride[static_cast<std::size_t>(i)];
    }
    return sws_scale(d.packSws, f->data, f->linesize, 0, f->height, dst, dstStride) == d.height;
}

bool VideoDecoder::planes(std::array<const std::uint8_t*, 3>& data,
                          std::array<int, 3>& lineBytes) const {
    const Impl& d = *m_impl;
    const AVFrame* f = d.frame;
    if (d.frames == 0 || !f || f->format != d.layoutFormat || f->width != d.width ||
        f->height != d.height)
        return false;
    data = {f->data[0], f->data[1], f->data[2]};
    lineBytes = {f->linesize[0], f->linesize[1], f->linesize[2]};
    return true;
}

const std::uint8_t* VideoDecoder::rgb24() {
    Impl& d = *m_impl;
    if (!d.rgb || d.frames == 0)
        return nullptr;
    if (d.converted)
        return d.rgb;
    if (d.convertFailed)
        return nullptr;

    const AVFrame* f = d.frame;
    // A frame of another size than the first is scaled to it, so the
    // detector always compares buffers of one layout. No threads: the
    // conversion must give the same bytes on every run.
    const int flags = SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND;
    d.sws =
        sws_getCachedContext(d.sws, f->width, f->height, static_cast<AVPixelFormat>(f->format),
                             d.width, d.height, AV_PIX_FMT_RGB24, flags, nullptr, nullptr, nullptr);
    if (!d.sws) {
        d.convertFailed = true;
        return nullptr;
    }
    const bool fullRange = f->color_range == AVCOL_RANGE_JPEG || fullRangeFormat(f->format);
    const int colorspace = f->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : f->colorspace;
    const int colorKey = colorspace * 2 + (fullRange ? 1 : 0);
    if (d.sws != d.colorSws || colorKey != d.colorKey) {
        // The file's own matrix and range, so saved pictures keep their
        // colours. RGB sources have no YUV coefficients; sws ignores this
        // for them.
        sws_setColorspaceDetails(d.sws, sws_getCoefficients(colorspace), fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        d.colorSws = d.sws;
        d.colorKey = colorKey;
    }

    std::uint8_t* dst[4] = {d.rgb, nullptr, nullptr, nullptr};
    const int dstStride[4] = {d.width * 3, 0, 0, 0};
    const int rows = sws_scale(d.sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    if (rows != d.height) {
        d.convertFailed = true;
        return nullptr;
    }
    d.converted = true;
    return d.rgb;
}

} // namespace vigilux::video
