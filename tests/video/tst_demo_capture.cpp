#include "FakeCaptureDevice.h"
#include "video/CaptureSource.h"
#include "video/DemoCaptureDevice.h"
#include "video/FrameLayout.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <vector>

using vigilux::test::FakeCaptureDevice;
using vigilux::video::CaptureSource;
using vigilux::video::DemoCaptureDevice;
using vigilux::video::FrameHeader;
using vigilux::video::FrameLayout;

namespace {

struct Recorded {
    int frames = 0;
    std::vector<quint32> times;
    quint32 lastBytes = 0;
    bool dataSeen = true;
};

void record(vigilux::video::CaptureDevice& device, Recorded& r) {
    device.setFrameCallback([&r](const FrameHeader& h) {
        ++r.frames;
        r.times.push_back(h.timeCapturedMs);
        r.lastBytes = h.bytesUsed;
        r.dataSeen = r.dataSeen && h.data && h.bufferLength >= h.bytesUsed && h.flags == 0;
    });
}

std::vector<uchar> frame(DemoCaptureDevice& d, quint64 index) {
    std::vector<uchar> out(size_t(d.frameBytes()));
    d.renderFrame(index, out.data());
    return out;
}

// Share of bytes differing by more than `tolerance` (as the detector counts).
double changedShare(const std::vector<uchar>& a, const std::vector<uchar>& b, int tolerance) {
    qsizetype changed = 0;
    for (size_t i = 0; i < a.size(); ++i)
        changed += std::abs(int(a[i]) - int(b[i])) > tolerance;
    return double(changed) / double(a.size());
}

// First frame number >= from where the figure is (or is not) visible.
quint64 firstWhere(const DemoCaptureDevice& d, quint64 from, bool visible) {
    while (d.figureVisible(from) != visible)
        ++from;
    return from;
}

} // namespace

class TestDemoCapture : public QObject {
    Q_OBJECT
private slots:
    void framesFlowOnlyWhileConnectedWithPreviewOn() {
        DemoCaptureDevice d;
        Recorded r;
        record(d, r);
        d.setPreviewRate(40);
        QVERIFY(d.connectDriver());
        QTest::qWait(200); // preview still off: nothing may arrive
        QCOMPARE(r.frames, 0);
        d.setPreview(true);
        QTRY_VERIFY_WITH_TIMEOUT(r.frames >= 3, 5000);
        QVERIFY(r.dataSeen);
        QCOMPARE(r.lastBytes, quint32(640 * 480 * 3));
        d.disconnectDriver();
        const int after = r.frames;
        QTest::qWait(200);
        QCOMPARE(r.frames, after);
        QVERIFY(d.previewing()); // the preview flag survives a disconnect
    }

    void previewRateLimitsDeliveredFrames() {
        DemoCaptureDevice d;
        Recorded r;
        record(d, r);
        const int rate = 120;
        d.setPreviewRate(rate);
        d.setPreview(true);
        QVERIFY(d.connectDriver());
        QTRY_VERIFY_WITH_TIMEOUT(r.frames >= 8, 10000);
        // By the device's own capture stamps: the typical gap is at least
        // half an interval, and on average at most one frame per interval.
        // (A single short gap is allowed: a timer that fired late on a busy
        // machine fires its next tick early to keep the rate.)
        std::vector<quint32> gaps;
        for (size_t i = 1; i < r.times.size(); ++i)
            gaps.push_back(r.times[i] - r.times[i - 1]);
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        QVERIFY2(gaps[gaps.size() / 2] >= quint32(rate / 2),
                 qPrintable(QString::number(gaps[gaps.size() / 2])));
        const quint32 span = r.times.back() - r.times.front();
        QVERIFY(r.times.size() - 1 <= span / rate + 1);
    }

    void callbackMayReplaceItselfWhileRunning() {
        FakeCaptureDevice d;
        int first = 0;
        int second = 0;
        d.setFrameCallback([&](const FrameHeader&) {
            ++first;
            d.setFrameCallback([&](const FrameHeader&) { ++second; });
        });
        QVERIFY(d.connectDriver());
        d.setPreview(true);
        QVERIFY(d.pushFilled(1));
        QVERIFY(d.pushFilled(2));
        QCOMPARE(first, 1);
        QCOMPARE(second, 1);
        d.setFrameCallback({});
        QVERIFY(d.pushFilled(3)); // no callback: still presented, no crash
        QCOMPARE(d.deliveredFrames(), quint64(3));
    }

    void videoFormatSizes_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("320x240") << QSize(320, 240) << true;
        QTest::newRow("800x600") << QSize(800, 600) << true;
        QTest::newRow("1280x720") << QSize(1280, 720) << true;
        QTest::newRow("640x480 (current)") << QSize(640, 480) << true;
        QTest::newRow("641x480") << QSize(641, 480) << false;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << false;
        QTest::newRow("empty") << QSize() << false;
        QTest::newRow("negative") << QSize(-320, 240) << false;
    }
    void videoFormatSizes() {
        QFETCH(QSize, size);
        QFETCH(bool, accepted);
        DemoCaptureDevice d;
        Recorded r;
        record(d, r);
        d.setPreviewRate(40);
        d.setPreview(true);
        QVERIFY(d.connectDriver());
        QTRY_VERIFY_WITH_TIMEOUT(r.frames >= 1, 5000);
        QCOMPARE(d.setVideoSize(size), accepted);
        const QSize expected = accepted ? size : QSize(640, 480);
        QCOMPARE(d.videoSize(), expected);
        const int before = r.frames;
        QTRY_VERIFY_WITH_TIMEOUT(r.frames > before, 5000);
        QCOMPARE(r.lastBytes, quint32(expected.width() * expected.height() * 3));
        QCOMPARE(d.currentFrame().size(), expected);
    }

    void formatListMatchesAcceptedSizes() {
        DemoCaptureDevice d;
        const auto formats = d.videoFormats();
        QCOMPARE(formats.size(), DemoCaptureDevice::supportedSizes().size());
        for (int i = 0; i < formats.size(); ++i) {
            QCOMPARE(formats[i].pixelFormat, QStringLiteral("RGB24"));
            QCOMPARE(formats[i].maxFrameRate, 25.0);
            QVERIFY(d.setVideoFormat(i));
            QCOMPARE(d.videoSize(), formats[i].size);
        }
        QVERIFY(!d.setVideoFormat(formats.size()));
        QVERIFY(!d.setVideoFormat(-1));
    }

    void savesCurrentFrameAsReadable24BitBmp() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("frame.bmp"));
        DemoCaptureDevice d;
        QVERIFY(!d.saveBitmap(path)); // no frame yet
        QVERIFY(!QFile::exists(path));
        Recorded r;
        record(d, r);
        d.setPreview(true);
        QVERIFY(d.connectDriver());
        QTRY_VERIFY_WITH_TIMEOUT(r.frames >= 1, 5000);
        d.disconnectDriver(); // keep the current frame still while comparing
        QVERIFY(d.saveBitmap(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray head = f.read(30);
        QCOMPARE(head.left(2), QByteArray("BM"));
        QCOMPARE(int(uchar(head[28])) | int(uchar(head[29])) << 8, 24); // bits per pixel
        const QImage back(path);
        QCOMPARE(back.size(), QSize(640, 480));
        QCOMPARE(back.convertToFormat(QImage::Format_RGB888), d.currentFrame());
        QVERIFY(!d.saveBitmap(dir.filePath(QStringLiteral("missing/sub/frame.bmp"))));
    }

    void stillSceneDiffersOnlyByNoise() {
        DemoCaptureDevice d(7);
        const quint64 a = 10;
        const quint64 b = 200;
        QVERIFY(!d.figureVisible(a) && !d.figureVisible(b));
        const auto fa = frame(d, a);
        const auto fb = frame(d, b);
        QVERIFY(fa != fb);                       // the sensor is noisy ...
        QCOMPARE(changedShare(fa, fb, 6), 0.0);  // ... but mildly
        QVERIFY(changedShare(fa, fb, 5) < 0.01); // within the default noise setting
        QVERIFY(changedShare(fa, fb, 0) > 0.3);  // and a zero tolerance sees it
    }

    void crossingFigureChangesTheFrame() {
        DemoCaptureDevice d(7);
        const quint64 start = firstWhere(d, 0, true);
        QCOMPARE(qint64(start), d.crossingStart(start));
        // Two samples half a second apart in mid-crossing differ well beyond
        // the default 10 % threshold.
        const quint64 mid = start + DemoCaptureDevice::CrossingFrames / 2;
        QVERIFY(changedShare(frame(d, mid), frame(d, mid + 12), 5) > 0.10);
        QVERIFY(changedShare(frame(d, start - 1), frame(d, mid), 5) > 0.05);
    }

    void crossingsComeEvery20To30Seconds() {
        DemoCaptureDevice d(3);
        quint64 at = 0;
        qint64 previous = -1;
        for (int k = 0; k < 6; ++k) {
            const quint64 start = firstWhere(d, at, true);
            const quint64 end = firstWhere(d, start, false);
            QCOMPARE(end - start, quint64(DemoCaptureDevice::CrossingFrames));
            const quint64 gap = previous < 0 ? start : start - quint64(previous);
            QVERIFY2(gap >= 500 && gap <= 750, qPrintable(QString::number(gap)));
            previous = qint64(start);
            at = end;
        }
    }

    void sceneIsDeterministicPerSeed() {
        DemoCaptureDevice a(11), b(11), c(12);
        QVERIFY(frame(a, 42) == frame(b, 42));
        QVERIFY(frame(a, 42) != frame(c, 42));
        QVERIFY(a.setVideoSize(QSize(320, 240)));
        QCOMPARE(frame(a, 5).size(), size_t(320 * 240 * 3));
    }

    void pixelLayoutsConvert_data() {
        QTest::addColumn<int>("pixel");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("stride");
        QTest::addColumn<QColor>("first");
        QTest::addColumn<QColor>("second");
        using P = FrameLayout::Pixel;
        // 2x1 frames: a red-ish pixel and a blue-ish one.
        QTest::newRow("RGB24") << int(P::Rgb24) << QByteArray("\x10\x20\x30\x40\x50\x60", 6) << 6
                               << QColor(0x10, 0x20, 0x30) << QColor(0x40, 0x50, 0x60);
        QTest::newRow("BGR24") << int(P::Bgr24) << QByteArray("\x10\x20\x30\x40\x50\x60", 6) << 6
                               << QColor(0x30, 0x20, 0x10) << QColor(0x60, 0x50, 0x40);
        QTest::newRow("BGRX32 with padding")
            << int(P::Bgrx32) << QByteArray("\x01\x02\x03\xff\x04\x05\x06\xff\xee\xee", 10) << 10
            << QColor(3, 2, 1) << QColor(6, 5, 4);
        QTest::newRow("XRGB32") << int(P::Xrgb32)
                                << QByteArray("\xff\x01\x02\x03\xff\x04\x05\x06", 8) << 8
                                << QColor(1, 2, 3) << QColor(4, 5, 6);
        QTest::newRow("XBGR32") << int(P::Xbgr32)
                                << QByteArray("\xff\x01\x02\x03\xff\x04\x05\x06", 8) << 8
                                << QColor(3, 2, 1) << QColor(6, 5, 4);
        // Y0 U Y1 V: black then white with neutral chroma.
        QTest::newRow("YUYV") << int(P::Yuyv) << QByteArray("\x10\x80\xeb\x80", 4) << 4
                              << QColor(0, 0, 0) << QColor(255, 255, 255);
        QTest::newRow("UYVY") << int(P::Uyvy) << QByteArray("\x80\xeb\x80\x10", 4) << 4
                              << QColor(255, 255, 255) << QColor(0, 0, 0);
    }
    void pixelLayoutsConvert() {
        QFETCH(int, pixel);
        QFETCH(QByteArray, bytes);
        QFETCH(int, stride);
        QFETCH(QColor, first);
        QFETCH(QColor, second);
        FrameLayout f;
        f.size = QSize(2, 1);
        f.pixel = FrameLayout::Pixel(pixel);
        f.planeCount = 1;
        f.stride[0] = stride;
        f.bytes = bytes.size();
        const QImage img = f.toImage(reinterpret_cast<const uchar*>(bytes.constData()));
        QCOMPARE(img.format(), QImage::Format_RGB888);
        QCOMPARE(img.pixelColor(0, 0), first);
        QCOMPARE(img.pixelColor(1, 0), second);
        f.bytes = bytes.size() - 1; // a short buffer is refused, not overread
        QVERIFY(f.toImage(reinterpret_cast<const uchar*>(bytes.constData())).isNull());
    }

    void planarYuvUsesTheRightChromaPlanes() {
        // 2x2 I420 / YV12 / NV12: mid grey luma, chroma pushing towards red
        // (V high) and away from blue (U low).
        using P = FrameLayout::Pixel;
        struct Case {
            P pixel;
            int planes;
            QByteArray bytes;
            std::array<int, 3> stride;
        };
        const QByteArray y("\x80\x80\x80\x80", 4);
        const Case cases[] = {
            {P::Yuv420p, 3, y + QByteArray("\x40\xc0", 2), {2, 1, 1}},
            {P::Yv12, 3, y + QByteArray("\xc0\x40", 2), {2, 1, 1}},
            {P::Nv12, 2, y + QByteArray("\x40\xc0", 2), {2, 2, 0}},
            {P::Nv21, 2, y + QByteArray("\xc0\x40", 2), {2, 2, 0}},
        };
        for (const Case& c : cases) {
            FrameLayout f;
            f.size = QSize(2, 2);
            f.pixel = c.pixel;
            f.planeCount = c.planes;
            f.stride = c.stride;
            f.offset = {0, 4, 5};
            f.bytes = c.bytes.size();
            const QImage img = f.toImage(reinterpret_cast<const uchar*>(c.bytes.constData()));
            QVERIFY2(!img.isNull(), qPrintable(FrameLayout::pixelName(c.pixel)));
            const QColor px = img.pixelColor(1, 1);
            QVERIFY2(px.red() > 200 && px.blue() < 60, qPrintable(FrameLayout::pixelName(c.pixel)));
        }
    }

    // The preview's conversion shows what the full conversion shows, every
    // layout, at full size and sampled down to the painted size.
    void previewMatchesTheFullPicture() {
        using P = FrameLayout::Pixel;
        for (const P pixel :
             {P::Rgb24, P::Bgr24, P::Bgrx32, P::Rgbx32, P::Xrgb32, P::Xbgr32, P::Gray8, P::Yuv420p,
              P::Yv12, P::Yuv422p, P::Nv12, P::Nv21, P::Yuyv, P::Uyvy}) {
            const FrameLayout f = FrameLayout::packed(pixel, QSize(16, 8));
            QByteArray bytes(f.bytes, Qt::Uninitialized);
            for (qsizetype i = 0; i < bytes.size(); ++i)
                bytes[i] = char((i * 37 + 11) % 251);
            const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
            const QImage full = f.toImage(data).convertToFormat(QImage::Format_RGB32);
            const QString name = FrameLayout::pixelName(pixel);
            QVERIFY2(!full.isNull(), qPrintable(name));
            QVERIFY2(f.toPreview(data, QSize(64, 64)) == full, qPrintable(name)); // no upscaling
            const QImage half = f.toPreview(data, QSize(8, 4));
            QCOMPARE(half.size(), QSize(8, 4));
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 8; ++x)
                    QVERIFY2(half.pixel(x, y) == full.pixel(2 * x, 2 * y), qPrintable(name));
        }
    }

    // The detector's input: the picture without the row padding a source
    // adds. Padding never reaches the packed bytes, and the packed frame
    // shows the same picture as the padded one.
    void packingDropsRowPadding_data() {
        QTest::addColumn<int>("pixel");
        QTest::addColumn<qsizetype>("packedBytes"); // at 5x3
        using P = FrameLayout::Pixel;
        QTest::newRow("I420") << int(P::Yuv420p) << qsizetype(15 + 6 + 6);
        QTest::newRow("I422") << int(P::Yuv422p) << qsizetype(15 + 9 + 9);
        QTest::newRow("NV12") << int(P::Nv12) << qsizetype(15 + 12);
        QTest::newRow("YUYV") << int(P::Yuyv) << qsizetype(12 * 3);
        QTest::newRow("RGB24") << int(P::Rgb24) << qsizetype(45);
        QTest::newRow("BGRX32") << int(P::Bgrx32) << qsizetype(60);
        QTest::newRow("Y8") << int(P::Gray8) << qsizetype(15);
    }
    void packingDropsRowPadding() {
        QFETCH(int, pixel);
        QFETCH(qsizetype, packedBytes);
        const FrameLayout packed = FrameLayout::packed(FrameLayout::Pixel(pixel), QSize(5, 3));
        QVERIFY(packed.isValid());
        QCOMPARE(packed.bytes, packedBytes);

        // The same picture with 7 bytes of padding after every line, in one
        // buffer as a mapped frame holds it.
        FrameLayout padded = packed;
        qsizetype at = 0;
        for (int i = 0; i < packed.planeCount; ++i) {
            padded.stride[size_t(i)] = packed.stride[size_t(i)] + 7;
            padded.offset[size_t(i)] = at;
            at += qsizetype(padded.stride[size_t(i)]) * packed.planeRows(i);
        }
        padded.bytes = at;
        QByteArray source(at, '\0');
        for (qsizetype i = 0; i < at; ++i)
            source[i] = char(i * 37 % 251);
        const auto pack = [&](const QByteArray& bytes) {
            std::array<const uchar*, 3> planes{};
            const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
            for (int i = 0; i < packed.planeCount; ++i)
                planes[size_t(i)] = data + padded.offset[size_t(i)];
            QByteArray out(packed.bytes, '\xee');
            if (!packed.pack(planes, padded.stride, reinterpret_cast<uchar*>(out.data())))
                return QByteArray();
            return out;
        };
        const QByteArray a = pack(source);
        QVERIFY(!a.isEmpty());
        QCOMPARE(packed.toImage(reinterpret_cast<const uchar*>(a.constData())),
                 padded.toImage(reinterpret_cast<const uchar*>(source.constData())));

        QByteArray otherPadding = source;
        for (int i = 0; i < packed.planeCount; ++i)
            for (int row = 0; row < packed.planeRows(i); ++row)
                for (int k = 0; k < 7; ++k)
                    otherPadding[padded.offset[size_t(i)] +
                                 qsizetype(padded.stride[size_t(i)]) * row +
                                 packed.stride[size_t(i)] + k] = char(0x55 + k);
        QCOMPARE(pack(otherPadding), a);

        // A source line shorter than the picture's is refused.
        std::array<int, 3> shortLines = packed.stride;
        shortLines[0] -= 1;
        QByteArray out(packed.bytes, '\0');
        QVERIFY(!packed.pack({reinterpret_cast<const uchar*>(source.constData()),
                              reinterpret_cast<const uchar*>(source.constData()),
                              reinterpret_cast<const uchar*>(source.constData())},
                             shortLines, reinterpret_cast<uchar*>(out.data())));
    }

    void captureSourceFromArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("given");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("error");
        using K = CaptureSource::Kind;
        const QString p = QStringLiteral("vigilux");
        QTest::newRow("none") << QStringList{p} << false << 0 << 0 << QString() << false;
        QTest::newRow("demo") << QStringList{p, "--demo"} << true << int(K::Demo) << 0 << QString()
                              << false;
        QTest::newRow("camera 2") << QStringList{p, "--camera", "2"} << true << int(K::Camera) << 2
                                  << QString() << false;
        QTest::newRow("video") << QStringList{p, "--video", "/tmp/a b.mp4"} << true
                               << int(K::VideoFile) << 0 << QStringLiteral("/tmp/a b.mp4") << false;
        QTest::newRow("other options ignored") << QStringList{p, "-style", "--demo"} << true
                                               << int(K::Demo) << 0 << QString() << false;
        QTest::newRow("camera without number")
            << QStringList{p, "--camera"} << false << 0 << 0 << QString() << true;
        QTest::newRow("camera not a number")
            << QStringList{p, "--camera", "x"} << false << 0 << 0 << QString() << true;
        QTest::newRow("negative camera")
            << QStringList{p, "--camera", "-1"} << false << 0 << 0 << QString() << true;
        QTest::newRow("video without file")
            << QStringList{p, "--video"} << false << 0 << 0 << QString() << true;
        QTest::newRow("two sources")
            << QStringList{p, "--demo", "--camera", "0"} << false << 0 << 0 << QString() << true;
    }
    void captureSourceFromArguments() {
        QFETCH(QStringList, args);
        QFETCH(bool, given);
        QFETCH(int, kind);
        QFETCH(int, index);
        QFETCH(QString, path);
        QFETCH(bool, error);
        QString message;
        const auto source = CaptureSource::fromArguments(args, &message);
        QCOMPARE(source.has_value(), given);
        QCOMPARE(!message.isEmpty(), error);
        if (given) {
            QCOMPARE(int(source->kind), kind);
            QCOMPARE(source->index, index);
            QCOMPARE(source->path, path);
        }
    }
};

QTEST_MAIN(TestDemoCapture)
#include "tst_demo_capture.moc"
