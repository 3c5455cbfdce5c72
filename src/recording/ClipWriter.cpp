#include "recording/ClipWriter.h"

#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>

namespace vigilux::recording {

namespace {

using Pixel = video::FrameLayout::Pixel;

// Timestamps are whole milliseconds of the caller's clock.
constexpr AVRational MsBase{1, 1000};

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

const AVCodec* h264Encoder() {
    return avcodec_find_encoder_by_name("libx264");
}

AVPixelFormat encoderFormat(Pixel pixel) {
    switch (pixel) {
    case Pixel::Yuv420p:
        return AV_PIX_FMT_YUV420P;
    case Pixel::Nv12:
        return AV_PIX_FMT_NV12;
    case Pixel::Nv21:
        return AV_PIX_FMT_NV21;
    default:
        // 4:2:2, 4:4:4 and grey would give H.264 profiles that phones and
        // browsers do not play; packed and RGB layouts are not taken at all.
        return AV_PIX_FMT_NONE;
    }
}

} // namespace

struct ClipWriter::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    QSize size;
    Pixel pixel = Pixel::Unknown;
    std::int64_t periodMs = 100;
    std::int64_t originMs = 0;
    std::int64_t lastPts = -1;
    std::int64_t goodSize = 0;   // the file up to its last whole fragment
    std::int64_t headerSize = 0; // the file before the first fragment
    bool failed = false;

    ~Impl() { release(); }

    void release() {
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
            format = nullptr;
        }
        stream = nullptr;
        avcodec_free_context(&codec);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    // The write error the file's I/O context has met, or 0.
    int ioError() const { return format && format->pb ? format->pb->error : 0; }

    // Moves every packet the encoder has ready into the file.
    int drain() {
        while (true) {
            int rc = avcodec_receive_packet(codec, packet);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return 0;
            if (rc < 0)
                return rc;
            // No B-frames: every packet is one frame, a frame period long
            // unless the next frame says otherwise.
            packet->duration = periodMs;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            rc = av_write_frame(format, packet);
            av_packet_unref(packet);
            if (rc < 0)
                return rc;
            // A finished fragment goes to the disk now, not when the buffer
            // happens to fill: that is what a kill leaves behind.
            avio_flush(format->pb);
            if (ioError() < 0)
                return ioError();
            // The muxer writes only whole fragments, so the file now ends
            // on a boundary.
            goodSize = avio_tell(format->pb);
        }
    }
};

ClipWriter::ClipWriter() = default;

ClipWriter::~ClipWriter() {
    if (isOpen())
        (void)close(); // nobody is left to hear of a failed end; the file keeps its frames
}

bool ClipWriter::accepts(Pixel pixel) {
    const AVPixelFormat wanted = encoderFormat(pixel);
    const AVCodec* codec = h264Encoder();
    if (wanted == AV_PIX_FMT_NONE || !codec || !codec->pix_fmts)
        return false;
    for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
        if (*f == wanted)
            return true;
    return false;
}

QSize ClipWriter::encodedSize(QSize size) {
    return {size.width() & ~1, size.height() & ~1};
}

bool ClipWriter::hasPlayableFrame() const {
    return m_impl ? m_impl->goodSize > m_impl->headerSize : m_playable;
}

bool ClipWriter::isOpen() const {
    return m_impl != nullptr;
}

core::Status ClipWriter::fail(const QString& text) {
    m_error = text;
    if (m_impl)
        m_impl->failed = true;
    return core::Status::failure(text);
}

core::Status ClipWriter::open(const QString& path, QSize size, Pixel pixel,
                              const Options& options) {
    if (isOpen())
        (void)close(); // the clip before keeps what it has; its end is not this one's concern
    m_path = path;
    m_error.clear();
    m_playable = false;
    m_frames = 0;
    m_durationMs = 0;

    const AVCodec* encoder = h264Encoder();
    if (!encoder)
        return fail(QStringLiteral("кодер H.264 (libx264) недоступен"));
    const AVPixelFormat pixFmt = encoderFormat(pixel);
    if (!accepts(pixel))
        return fail(QStringLiteral("кодер H.264 не принимает кадры формата ") +
                    video::FrameLayout::pixelName(pixel));
    if (size.width() < 2 || size.height() < 2 || encodedSize(size) != size)
        return fail(
            QStringLiteral("неподходящий размер кадра %1x%2").arg(size.width()).arg(size.height()));

    m_impl = std::make_unique<Impl>();
    Impl& d = *m_impl;
    d.size = size;
    d.pixel = pixel;
    const int fps = std::clamp(options.fps, 1, 120);
    d.periodMs = std::max<std::int64_t>(1, (1000 + fps / 2) / fps);

    const QByteArray name = QFile::encodeName(path);
    int rc = avformat_alloc_output_context2(&d.format, nullptr, "mp4", name.constData());
    if (rc < 0 || !d.format) {
        m_impl.reset();
        return fail(QStringLiteral("формат MP4 недоступен (") + avError(rc) + QLatin1Char(')'));
    }
    d.stream = avformat_new_stream(d.format, nullptr);
    d.codec = avcodec_alloc_context3(encoder);
    d.frame = av_frame_alloc();
    d.packet = av_packet_alloc();
    if (!d.stream || !d.codec || !d.frame || !d.packet) {
        m_impl.reset();
        return fail(QStringLiteral("недостаточно памяти"));
    }

    AVCodecContext* c = d.codec;
    c->width = size.width();
    c->height = size.height();
    c->pix_fmt = pixFmt;
    c->time_base = MsBase;
    c->framerate = AVRational{fps, 1};
    c->gop_size = fps; // a key frame, and so a fragment, every second
    c->max_b_frames = 0;
    c->thread_count = std::max(1, options.threads);
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    c->log_level_offset = AV_LOG_VERBOSE - AV_LOG_INFO; // no encoder summary on stderr
    // Camera YUV is studio-swing BT.601, as the rest of the program reads it.
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
    if (d.format->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* codecOptions = nullptr;
    av_dict_set(&codecOptions, "preset", options.preset ? options.preset : Preset, 0);
    // No look-ahead and no B-frames: each frame leaves the encoder at once,
    // so nothing waits in memory that a kill would lose.
    av_dict_set(&codecOptions, "tune", "zerolatency", 0);
    av_dict_set_int(&codecOptions, "crf", std::clamp(options.crf, 0, 51), 0);
    rc = avcodec_open2(c, encoder, &codecOptions);
    av_dict_free(&codecOptions);
    if (rc < 0) {
        m_impl.reset();
        return fail(QStringLiteral("кодер H.264 не запустился (") + avError(rc) + QLatin1Char(')'));
    }
    rc = avcodec_parameters_from_context(d.stream->codecpar, c);
    if (rc < 0) {
        m_impl.reset();
        return fail(QStringLiteral("кодер H.264 не запустился (") + avError(rc) + QLatin1Char(')'));
    }
    d.stream->time_base = MsBase;
    d.stream->avg_frame_rate = AVRational{fps, 1};

    // Nothing that changes from run to run: no library version, no date
    // unless the caller gives one.
    d.format->flags |= AVFMT_FLAG_BITEXACT;
    if (options.creationTime.isValid()) {
        const QByteArray when = options.creationTime.toUTC().toString(Qt::ISODateWithMs).toLatin1();
        av_dict_set(&d.format->metadata, "creation_time", when.constData(), 0);
    }

    rc = avio_open(&d.format->pb, name.constData(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        m_impl.reset();
        return fail(QStringLiteral("не удалось создать файл (") + avError(rc) + QLatin1Char(')'));
    }
    AVDictionary* muxOptions = nullptr;
    // An empty index up front and self-contained fragments after it: the
    // file is playable at every fragment boundary.
    av_dict_set(&muxOptions, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
    rc = avformat_write_header(d.format, &muxOptions);
    av_dict_free(&muxOptions);
    if (rc >= 0) {
        avio_flush(d.format->pb);
        rc = d.ioError();
        d.goodSize = avio_tell(d.format->pb);
        d.headerSize = d.goodSize;
    }
    if (rc < 0) {
        m_impl.reset();
        return fail(QStringLiteral("ошибка записи (") + avError(rc) + QLatin1Char(')'));
    }
    return {};
}

core::Status ClipWriter::write(const uchar* data, const video::FrameLayout& layout,
                               std::int64_t ms) {
    if (!m_impl)
        return fail(QStringLiteral("файл клипа не открыт"));
    Impl& d = *m_impl;
    if (d.failed)
        return core::Status::failure(m_error);
    if (!data || layout.pixel != d.pixel || layout.size.width() < d.size.width() ||
        layout.size.height() < d.size.height() || !layout.isValid())
        return fail(QStringLiteral("кадр другого формата или размера"));

    if (m_frames == 0)
        d.originMs = ms;
    const std::int64_t pts = ms - d.originMs;
    if (pts <= d.lastPts)
        return {};

    AVFrame* f = d.frame;
    f->format = d.codec->pix_fmt;
    f->width = d.size.width();
    f->height = d.size.height();
    for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
        f->data[i] = nullptr;
        f->linesize[i] = 0;
    }
    for (int i = 0; i < layout.planeCount; ++i) {
        const auto plane = static_cast<std::size_t>(i);
        // The encoder only reads; the frame is copied before it returns.
        f->data[i] = const_cast<uchar*>(data + layout.offset[plane]);
        f->linesize[i] = layout.stride[plane];
    }
    f->pts = pts;
    f->pict_type = AV_PICTURE_TYPE_NONE;

    int rc = avcodec_send_frame(d.codec, f);
    if (rc >= 0)
        rc = d.drain();
    if (rc < 0)
        return fail(QStringLiteral("ошибка записи (") + avError(rc) + QLatin1Char(')'));
    d.lastPts = pts;
    ++m_frames;
    m_durationMs = pts + d.periodMs;
    return {};
}

core::Status ClipWriter::close() {
    if (!m_impl)
        return m_error.isEmpty() ? core::Status() : core::Status::failure(m_error);
    Impl& d = *m_impl;
    bool ok = !d.failed;
    if (ok) {
        int rc = avcodec_send_frame(d.codec, nullptr);
        if (rc >= 0)
            rc = d.drain();
        // The last fragment and the index of fragments at the end.
        if (rc >= 0)
            rc = av_write_trailer(d.format);
        if (rc >= 0) {
            avio_flush(d.format->pb);
            rc = d.ioError();
        }
        if (rc < 0)
            ok = fail(QStringLiteral("ошибка записи (") + avError(rc) + QLatin1Char(')')).ok();
    }
    if (d.format && d.format->pb) {
        const int rc = avio_closep(&d.format->pb);
        if (rc < 0 && ok)
            ok = fail(QStringLiteral("ошибка записи (") + avError(rc) + QLatin1Char(')')).ok();
    }
    // A write cut short (a full disk) may have left part of a fragment,
    // which players take for a damaged file: keep the whole ones only.
    if (!ok && QFileInfo(m_path).isFile() && QFileInfo(m_path).size() > d.goodSize)
        QFile::resize(m_path, d.goodSize);
    m_playable = ok ? m_frames > 0 : d.goodSize > d.headerSize;
    m_impl.reset();
    return ok ? core::Status() : core::Status::failure(m_error);
}

} // namespace vigilux::recording
