#include "FakeClock.h"
#include "FakeDialogs.h"
#include "core/AppContext.h"
#include "recording/FrameSaver.h"
#include "recording/Imprinter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vigilux;
using recording::FrameSaver;

namespace {

// Records what the saver asks of the window, in order, and holds the frame
// the next save is given.
struct FakeHost {
    QImage frame;
    QStringList calls;
    QStringList sounds;

    void listen(FrameSaver& saver) {
        QObject::connect(&saver, &FrameSaver::savingStarted,
                         [this] { calls << QStringLiteral("PSave"); });
        QObject::connect(&saver, &FrameSaver::savingFinished,
                         [this] { calls << QStringLiteral("PsaveT"); });
        QObject::connect(&saver, &FrameSaver::watchingMustStop,
                         [this] { calls << QStringLiteral("StartAuto"); });
        QObject::connect(&saver, &FrameSaver::soundRequested,
                         [this](const QString& path) { sounds << path; });
        QObject::connect(&saver, &FrameSaver::status,
                         [this](const QString& text) { calls << text; });
    }
};

QImage testFrame(int w = 64, int h = 48) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 4 % 256, y * 5 % 256, (x + y) % 256));
    return image;
}

struct Fixture {
    QTemporaryDir dir;
    test::FakeClock clock{QDateTime(QDate(2026, 12, 6), QTime(21, 30, 5, 427))};
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    FakeHost host;
    FrameSaver saving{context};
    QSignalSpy saved{&saving, &FrameSaver::frameSaved};
    QSignalSpy format{&saving, &FrameSaver::imageFormatChanged};

    Fixture() {
        host.listen(saving);
        host.frame = testFrame();
        auto& s = context.settings;
        s.savePath = dir.path();
        s.createSubfolders = false;
        s.limitFiles = false;
        s.singleFile = false;
        s.saveAsJpeg = false;
        s.imprintDate = false;
        s.soundOnSave = false;
    }
    // Saves and waits until the worker's report has come through the event
    // loop, as the window would get it.
    void save() {
        saving.saveFrame(host.frame);
        QTRY_COMPARE_WITH_TIMEOUT(saving.pendingCount(), 0, 20000);
    }
    QString folder() const { return dir.path() + QLatin1Char('/'); }
    QStringList files() const { return FrameSaver::listFiles(folder()); }
    void touch(const QString& name) const {
        QFile f(folder() + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QString lastSaved() const {
        return saved.isEmpty() ? QString() : saved.last().at(0).toString();
    }
};

// A disk the test holds back: every write waits for a permit, so the test
// decides when a picture reaches the disk. Fails every write when asked.
class HeldFile final : public recording::PictureFile {
public:
    QSemaphore permits;
    bool fail = false;

protected:
    qint64 writeChunk(QIODevice& file, const char* data, qint64 size) override {
        permits.acquire();
        return fail ? -1 : PictureFile::writeChunk(file, data, size);
    }
};

} // namespace

class TestFrameSaving : public QObject {
    Q_OBJECT
private slots:
    void timeTexts() {
        const QDateTime t(QDate(2026, 12, 6), QTime(21, 30, 5, 427));
        QCOMPARE(FrameSaver::timeStampedName(t), QStringLiteral("2026_12_06_(21-30-05-42)"));
        QCOMPARE(FrameSaver::imprintText(t), QStringLiteral("06.12.2026 21:30:05.42"));
    }

    void namesInEveryMode_data() {
        QTest::addColumn<bool>("staticFile");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("subFolders");
        QTest::addColumn<QString>("expected");
        QTest::newRow("time-stamped")
            << false << 1000 << false << QStringLiteral("2026_12_06_(21-30-05-42).bmp");
        QTest::newRow("day folder")
            << false << 1000 << true << QStringLiteral("2026.12.06/2026_12_06_(21-30-05-42).bmp");
        QTest::newRow("numbered") << true << 1000 << false << QStringLiteral("cam00001.bmp");
        QTest::newRow("fixed") << true << 1 << false << QStringLiteral("cam.bmp");
    }
    void namesInEveryMode() {
        QFETCH(bool, staticFile);
        QFETCH(int, limit);
        QFETCH(bool, subFolders);
        QFETCH(QString, expected);
        Fixture f;
        f.context.settings.singleFile = staticFile;
        f.context.settings.singleFileName = QStringLiteral("cam");
        f.context.settings.maxFileCount = static_cast<qint16>(limit);
        f.context.settings.createSubfolders = subFolders;
        f.save();
        QCOMPARE(f.lastSaved(), f.folder() + expected);
        QCOMPARE(f.host.calls, (QStringList{QStringLiteral("PSave"), QStringLiteral("PsaveT")}));
        QVERIFY(f.format.isEmpty());
        // A plain BMP save is a 24-bit picture any viewer opens.
        QImageReader reader(f.lastSaved());
        QCOMPARE(reader.format(), QByteArray("bmp"));
        const QImage back = reader.read();
        QCOMPARE(back.size(), QSize(64, 48));
        QCOMPARE(back.depth(), 32); // Qt reads 24-bit BMPs as RGB32
        QCOMPARE(back.pixel(10, 7), f.host.frame.pixel(10, 7));
    }

    void rotationKeepsTheLimitAndOnlyTouchesFiles_data() {
        QTest::addColumn<int>("present");
        QTest::addColumn<int>("deleted");
        QTest::newRow("below the limit") << 99 << 0;
        QTest::newRow("at the limit") << 100 << 1;
        QTest::newRow("above the limit") << 105 << 6;
    }
    void rotationKeepsTheLimitAndOnlyTouchesFiles() {
        QFETCH(int, present);
        QFETCH(int, deleted);
        Fixture f;
        f.context.settings.limitFiles = true;
        f.context.settings.maxFileCount = 100;
        for (int i = 0; i < present; ++i)
            f.touch(QStringLiteral("a%1.bmp").arg(i, 3, 10, QLatin1Char('0')));
        QFile::setPermissions(f.folder() + QStringLiteral("a000.bmp"), QFileDevice::ReadOwner);
        QVERIFY(QDir(f.folder()).mkdir(QStringLiteral("0-subfolder")));

        f.save();
        const QStringList after = f.files();
        QCOMPARE(after.size(), present - deleted + 1);
        for (int i = 0; i < deleted; ++i)
            QVERIFY(!after.contains(QStringLiteral("a%1.bmp").arg(i, 3, 10, QLatin1Char('0'))));
        QVERIFY(QFileInfo(f.folder() + QStringLiteral("0-subfolder")).isDir());
        QCOMPARE(f.saving.fileCount(), present);
    }

    // A picture still waiting for upload outlives the limit: rotation counts
    // it as gone and leaves it to the queue, and deletes no newer picture in
    // its place.
    void rotationLeavesPicturesWaitingForUpload() {
        struct Guard final : core::DeletionGuard {
            QStringList waiting;
            QStringList asked;
            bool deferDeletion(const QString& path) override {
                asked << path;
                return waiting.contains(QFileInfo(path).fileName());
            }
        } guard;
        Fixture f;
        f.saving.setDeletionGuard(&guard);
        f.context.settings.limitFiles = true;
        f.context.settings.maxFileCount = 3;
        for (const char* name : {"a1.bmp", "a2.bmp", "a3.bmp", "a4.bmp"})
            f.touch(QString::fromLatin1(name));
        guard.waiting = {QStringLiteral("a1.bmp"), QStringLiteral("a3.bmp")};

        f.save(); // two must go: a1 is kept, a2 goes
        QStringList after = f.files();
        QCOMPARE(after.size(), 4);
        QVERIFY(after.contains(QStringLiteral("a1.bmp")));
        QVERIFY(!after.contains(QStringLiteral("a2.bmp")));
        QVERIFY(after.contains(QStringLiteral("a3.bmp")));
        QCOMPARE(guard.asked.first(), f.folder() + QStringLiteral("a1.bmp"));
    }

    void dayFolderHasItsOwnCount() {
        Fixture f;
        f.context.settings.createSubfolders = true;
        f.context.settings.limitFiles = true;
        f.context.settings.maxFileCount = 2;
        f.touch(QStringLiteral("old1.bmp"));
        f.touch(QStringLiteral("old2.bmp"));
        f.save();
        f.clock.advance(10);
        f.save();
        f.clock.advance(10);
        f.save();
        QCOMPARE(f.files().size(), 2); // the main folder is left alone
        QCOMPARE(FrameSaver::listFiles(f.folder() + QStringLiteral("2026.12.06/")).size(), 2);
    }

    void numberedNamesContinueFromTheFolder() {
        Fixture f;
        f.context.settings.singleFile = true;
        f.context.settings.singleFileName = QStringLiteral("cam");
        f.touch(QStringLiteral("cam00040.jpg"));
        f.touch(QStringLiteral("cam00041.jpg"));
        f.save();
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("cam00042.bmp"));
        f.save();
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("cam00043.bmp"));
        QCOMPARE(f.files().size(), 4);
    }

    void numberedNamesStartAfreshWithoutADigit() {
        Fixture f;
        f.context.settings.singleFile = true;
        f.context.settings.singleFileName = QStringLiteral("cam");
        f.touch(QStringLiteral("alpha.jpg"));
        f.touch(QStringLiteral("beta.jpg"));
        f.save();
        QCOMPARE(f.files(), QStringList{QStringLiteral("cam00001.bmp")});
    }

    void nextNumber_data() {
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("next");
        QTest::newRow("prefixed") << QStringLiteral("cam00041.jpg") << 42;
        QTest::newRow("bare") << QStringLiteral("00041.jpg") << 42;
        QTest::newRow("no digit") << QStringLiteral("frame.jpg") << 0;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("fraction rounds to even") << QStringLiteral("x41.5.jpg") << 42;
        QTest::newRow("prefix repeated") << QStringLiteral("a1a2.jpg") << 13;
        QTest::newRow("last number wraps") << QStringLiteral("cam99999.jpg") << 1;
        QTest::newRow("huge") << QStringLiteral("cam123456789012345678.jpg") << 1;
    }
    void nextNumber() {
        QFETCH(QString, last);
        QFETCH(int, next);
        QCOMPARE(FrameSaver::nextNumberFrom(last), next);
    }

    void sequenceWrapsAfterItsLastNumber() {
        Fixture f;
        f.context.settings.singleFile = true;
        f.context.settings.singleFileName = QStringLiteral("n");
        f.touch(QStringLiteral("n99998.bmp"));
        f.save();
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("n99999.bmp"));
        f.save();
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("n00001.bmp"));
    }

    void fixedFileReplacesTheFolderContent() {
        Fixture f;
        f.context.settings.singleFile = true;
        f.context.settings.limitFiles = true;
        f.context.settings.maxFileCount = 1;
        f.context.settings.singleFileName = QStringLiteral("../escape/frame");
        for (int i = 0; i < 5; ++i)
            f.touch(QStringLiteral("f%1.jpg").arg(i));
        f.save();
        f.save();
        QCOMPARE(f.files(), QStringList{QStringLiteral(".._escape_frame.bmp")});
    }

    void missingFolderIsReportedAndStopsWatching_data() {
        QTest::addColumn<QString>("savePath");
        QTest::addColumn<bool>("watching");
        QTest::newRow("gone, watching") << QStringLiteral("/nonexistent/vigilux") << true;
        QTest::newRow("gone, idle") << QStringLiteral("/nonexistent/vigilux") << false;
        QTest::newRow("empty setting") << QString() << true;
    }
    void missingFolderIsReportedAndStopsWatching() {
        QFETCH(QString, savePath);
        QFETCH(bool, watching);
        Fixture f;
        f.context.settings.savePath = savePath;
        f.context.watching = watching;
        f.save();
        QVERIFY(f.saved.isEmpty());
        QCOMPARE(f.dialogs.messages.size(), 1);
        const auto& box = f.dialogs.messages.constFirst();
        QCOMPARE(box.icon, platform::Dialogs::Icon::Error);
        QCOMPARE(box.title, QStringLiteral("Ошибка"));
        QCOMPARE(box.text, QStringLiteral("Каталог для сохранения недоступен!\r\n\r\n"
                                          "Проверьте наличие пути ") +
                               savePath +
                               QStringLiteral("/\r\n\r\n"
                                              "настройки > файлы > папка для "
                                              "сохранения снимков"));
        QStringList expected{QStringLiteral("PSave")};
        if (watching)
            expected << QStringLiteral("StartAuto");
        QCOMPARE(f.host.calls, expected);
    }

    void jpegUsesTheConfiguredQuality() {
        Fixture f;
        f.context.settings.saveAsJpeg = true;
        f.context.settings.jpegQuality = 35;
        f.save();
        QVERIFY(f.lastSaved().endsWith(QStringLiteral(".jpg")));
        QFile saved(f.lastSaved());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QByteArray expected;
        QBuffer buffer(&expected);
        QImageWriter writer(&buffer, "jpg");
        writer.setQuality(35);
        QVERIFY(writer.write(f.host.frame));
        QCOMPARE(saved.readAll(), expected);
        QVERIFY(f.format.isEmpty());
        QVERIFY(f.host.sounds.isEmpty()); // no save sound without the imprint
        QCOMPARE(f.files().size(), 1);
    }

    void imprintAndSaveSound_data() {
        QTest::addColumn<bool>("watching");
        QTest::addColumn<bool>("alarmSound");
        QTest::addColumn<bool>("played");
        QTest::newRow("manual save") << false << true << true;
        QTest::newRow("alarm without alarm sound") << true << false << true;
        QTest::newRow("alarm with alarm sound") << true << true << false;
    }
    void imprintAndSaveSound() {
        QFETCH(bool, watching);
        QFETCH(bool, alarmSound);
        QFETCH(bool, played);
        Fixture f;
        f.host.frame = testFrame(320, 240);
        f.context.settings.imprintDate = true;
        f.context.settings.soundOnSave = true;
        f.context.settings.saveSoundPath = QStringLiteral("/snd/save.wav");
        f.context.settings.soundOnAlarm = alarmSound;
        f.context.watching = watching;
        f.save();
        QCOMPARE(f.host.sounds.size(), played ? 1 : 0);
        QCOMPARE(f.format.size(), 1);
        QCOMPARE(f.format.at(0).at(0).toString(), QStringLiteral("320x240"));
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("2026_12_06_(21-30-05-42).bmp"));
        const QImage back(f.lastSaved());
        // The stamp changed the top-left corner and nothing far from it.
        bool stamped = false;
        for (int x = 2; x < 60 && !stamped; ++x)
            for (int y = 1; y < 14 && !stamped; ++y)
                stamped = back.pixel(x, y) != f.host.frame.pixel(x, y);
        QVERIFY(stamped);
        QCOMPARE(back.pixel(300, 200), f.host.frame.pixel(300, 200));
    }

    // The imprint blended from cached glyphs looks like the text a painter
    // draws (black shadow, white text over it), at any picture size.
    void imprintMatchesThePainter_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small") << QSize(320, 240);
        QTest::newRow("HD") << QSize(1280, 720);
    }
    void imprintMatchesThePainter() {
        QFETCH(QSize, size);
        const QImage plain = testFrame(size.width(), size.height());
        const QString text = FrameSaver::imprintText(QDateTime(QDate(2026, 12, 6), QTime(21, 30)));
        QImage painted = plain.copy();
        QPainter painter(&painted);
        QFont font = painter.font();
        font.setPixelSize(recording::Imprinter::pixelSize(size.height()));
        painter.setFont(font);
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
        painter.setPen(Qt::black);
        painter.drawText(painted.rect().translated(2, 2), flags, text);
        painter.setPen(Qt::white);
        painter.drawText(painted.rect().translated(3, 1), flags, text);
        painter.end();
        QImage blended = plain.copy();
        recording::Imprinter imprinter;
        imprinter.draw(blended, text);
        imprinter.draw(blended, text); // cached glyphs give the same again

        const QRect area(0, 0, QFontMetrics(font).horizontalAdvance(text) + 6,
                         QFontMetrics(font).height() + 4);
        const auto meanDifference = [&area](const QImage& a, const QImage& b) {
            qint64 sum = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            return double(sum) / (area.width() * area.height());
        };
        // Glyphs may sit a fraction of a pixel apart, no more: a text moved,
        // missing or with its shadow on top would differ as much as no text.
        const double stamped = meanDifference(painted, plain);
        const double apart = meanDifference(blended, painted);
        QVERIFY(stamped > 20.0);
        QVERIFY2(apart < stamped / 2,
                 qPrintable(QStringLiteral("%1 vs %2").arg(apart).arg(stamped)));
        QCOMPARE(blended.copy(QRect(0, area.bottom() + 1, size.width(), 10)),
                 plain.copy(QRect(0, area.bottom() + 1, size.width(), 10)));
    }

    void failedJpegKeepsTheFrameAsBmp() {
        Fixture f;
        f.context.settings.saveAsJpeg = true;
        // A folder in the way of the JPEG file makes its write fail.
        QVERIFY(QDir(f.folder()).mkdir(QStringLiteral("2026_12_06_(21-30-05-42).jpg")));
        f.save();
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages.constFirst().text.startsWith(
            QStringLiteral("Не удалось записать снимок\r\n") + f.folder() +
            QStringLiteral("2026_12_06_(21-30-05-42).jpg\r\n\r\n")));
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("2026_12_06_(21-30-05-42).bmp"));
        QVERIFY(!QImage(f.lastSaved()).isNull());
    }

    // A write failing part-way (a disk that fills, a drive that fails) in
    // every naming mode: the old pictures all stay, byte for byte, no partial
    // or temporary file is left, nothing is reported as saved, the error is
    // shown without holding up capture and watching goes on. The next save
    // that works takes the same number and only then rotates.
    void failedWriteKeepsEveryOldPicture_data() {
        QTest::addColumn<bool>("staticFile");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("jpeg");
        QTest::addColumn<int>("failAt");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("gone");
        const QString stamped = QStringLiteral("2026_12_06_(21-30-05-42)");
        QTest::newRow("time-stamped, limit, BMP, first write")
            << false << 3 << false << 1 << stamped + QStringLiteral(".bmp")
            << QStringLiteral("a1.jpg");
        QTest::newRow("time-stamped, limit, BMP, fifth write")
            << false << 3 << false << 5 << stamped + QStringLiteral(".bmp")
            << QStringLiteral("a1.jpg");
        QTest::newRow("time-stamped, limit, JPEG")
            << false << 3 << true << 1 << stamped + QStringLiteral(".jpg")
            << QStringLiteral("a1.jpg");
        QTest::newRow("numbered") << true << 3 << false << 3 << QStringLiteral("a00004.bmp")
                                  << QStringLiteral("a1.jpg");
        QTest::newRow("fixed") << true << 1 << false << 2 << QStringLiteral("cam.bmp")
                               << QStringLiteral("*");
    }
    void failedWriteKeepsEveryOldPicture() {
        QFETCH(bool, staticFile);
        QFETCH(int, limit);
        QFETCH(bool, jpeg);
        QFETCH(int, failAt);
        QFETCH(QString, name);
        QFETCH(QString, gone);
        // Fails the chosen write of every file; the JPEG's fallback BMP too.
        class FailingFile final : public recording::PictureFile {
        public:
            int failAt = 0;
            int writes = 0;
            FailingFile()
                : PictureFile(1024) {}

        protected:
            qint64 writeChunk(QIODevice& file, const char* data, qint64 size) override {
                if (failAt > 0 && ++writes % failAt == 0)
                    return -1;
                return PictureFile::writeChunk(file, data, size);
            }
        } failing;
        failing.failAt = failAt;

        Fixture f;
        f.saving.setPictureFile(&failing);
        auto& s = f.context.settings;
        s.limitFiles = true;
        s.maxFileCount = static_cast<qint16>(limit);
        s.singleFile = staticFile;
        s.singleFileName = staticFile && limit == 1 ? QStringLiteral("cam") : QStringLiteral("a");
        s.saveAsJpeg = jpeg;
        f.context.watching = true;
        QMap<QString, QByteArray> old;
        for (const char* n : {"a1.jpg", "a2.jpg", "a3.jpg"}) {
            QFile file(f.folder() + QLatin1String(n));
            QVERIFY(file.open(QIODevice::WriteOnly));
            old[QLatin1String(n)] = QByteArray(n).repeated(300);
            file.write(old[QLatin1String(n)]);
        }
        const auto contents = [&f] {
            QMap<QString, QByteArray> now;
            for (const QString& n : f.files()) {
                QFile file(f.folder() + n);
                if (file.open(QIODevice::ReadOnly))
                    now[n] = file.readAll();
            }
            return now;
        };

        f.save();
        f.save();
        QVERIFY(failing.writes >= 2);
        QCOMPARE(contents(), old);
        QVERIFY(f.saved.isEmpty());
        QCOMPARE(f.host.calls, (QStringList{QStringLiteral("PSave"), QStringLiteral("PSave")}));
        QCOMPARE(f.dialogs.messages.size(), 2);
        const auto& box = f.dialogs.messages.constLast();
        QVERIFY(!box.modal);
        QCOMPARE(box.icon, platform::Dialogs::Icon::Error);
        QCOMPARE(box.title, QStringLiteral("Ошибка"));
        QVERIFY2(box.text.startsWith(QStringLiteral("Не удалось записать снимок\r\n") + f.folder() +
                                     name + QStringLiteral("\r\n\r\n")),
                 qPrintable(box.text));
        QVERIFY(f.context.watching);

        f.saving.setPictureFile(nullptr);
        f.save();
        QCOMPARE(f.lastSaved(), f.folder() + name);
        QVERIFY(!QImage(f.lastSaved()).isNull());
        const QStringList after = f.files();
        QVERIFY(after.contains(name));
        if (gone == QLatin1String("*")) {
            QCOMPARE(after.size(), 1);
        } else {
            QCOMPARE(after.size(), 3);
            QVERIFY(!after.contains(gone));
        }
    }

    // A real file system that fills: a small tmpfs mounted in a private
    // mount namespace, where this test runs again as a child process.
    void smallFileSystem() {
        QTemporaryDir base;
        QVERIFY(base.isValid());
        QVERIFY(QDir(base.path()).mkpath(QStringLiteral("full")));
        QVERIFY(QDir(base.path()).mkpath(QStringLiteral("ro")));
        const QString script = QStringLiteral(
            "set -e; mount -t tmpfs -o size=256k vigilux \"$1/full\"; "
            "mount -t tmpfs -o size=64k vigilux \"$1/ro\"; "
            "head -c 3000 /dev/urandom > \"$1/ro/old.jpg\"; "
            "mount -o remount,ro \"$1/ro\"; echo mounted; exec \"$0\" smallFileSystemInside");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VIGILUX_SMALL_FS"), base.path());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("unshare"),
                    {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                     QCoreApplication::applicationFilePath(), base.path()});
        if (!child.waitForFinished(240000))
            child.kill();
        const QString output = QString::fromLocal8Bit(child.readAll());
        if (!output.startsWith(QStringLiteral("mounted")))
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here (no user "
                                            "namespaces?): ") +
                             output.left(300)));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(output));
    }

    void smallFileSystemInside() {
        const QString base = qEnvironmentVariable("VIGILUX_SMALL_FS");
        if (base.isEmpty())
            QSKIP("runs inside the mount namespace smallFileSystem sets up");
        const QString full = base + QStringLiteral("/full");
        const QString readOnly = base + QStringLiteral("/ro");

        Fixture f;
        // Noise compresses badly: a JPEG of some 60 KB.
        QImage noise(320, 240, QImage::Format_RGB888);
        quint32 seed = 7;
        for (int y = 0; y < noise.height(); ++y) {
            uchar* line = noise.scanLine(y);
            for (int x = 0; x < noise.width() * 3; ++x) {
                seed = seed * 1664525u + 1013904223u;
                line[x] = static_cast<uchar>(seed >> 24);
            }
        }
        f.host.frame = noise;
        auto& s = f.context.settings;
        s.savePath = full;
        s.saveAsJpeg = true;
        s.jpegQuality = 90;
        s.limitFiles = true;
        s.maxFileCount = 5;
        f.context.watching = true;
        QStringList old;
        for (int i = 1; i <= 5; ++i) {
            old << QStringLiteral("a%1.jpg").arg(i);
            QFile file(full + QLatin1Char('/') + old.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(QByteArray(4000, char('0' + i))), qint64(4000));
        }
        // Fill the rest, then free a little: the picture starts to be written
        // and runs out of space part-way; then none at all.
        QFile filler(full + QStringLiteral("/.filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        old.prepend(QStringLiteral(".filler"));
        const qint64 filled = filler.size();
        for (const qint64 room : {qint64(16 * 1024), qint64(0)}) {
            QVERIFY(filler.resize(filled - room));
            for (int i = 0; i < 3; ++i)
                f.save();
            QCOMPARE(FrameSaver::listFiles(full), old);
            for (int i = 1; i <= 5; ++i)
                QCOMPARE(QFileInfo(full + QStringLiteral("/a%1.jpg").arg(i)).size(), qint64(4000));
            QVERIFY(f.saved.isEmpty());
            QVERIFY(f.dialogs.messages.constLast().text.startsWith(
                QStringLiteral("Не удалось записать снимок")));
            QVERIFY(f.context.watching);
        }
        // Room again: the picture is written whole and the oldest goes.
        filler.close();
        QVERIFY(filler.remove());
        f.save();
        QCOMPARE(f.saved.size(), 1);
        QFile picture(f.lastSaved());
        QVERIFY(picture.open(QIODevice::ReadOnly));
        QVERIFY(picture.readAll().endsWith("\xff\xd9"));
        QCOMPARE(QImage(f.lastSaved()).size(), QSize(320, 240));
        QCOMPARE(FrameSaver::listFiles(full).size(), 5);
        QVERIFY(!QFileInfo::exists(full + QStringLiteral("/a1.jpg")));

        // A read-only folder: the old picture stays, the error is shown.
        const int boxes = f.dialogs.messages.size();
        s.savePath = readOnly;
        s.maxFileCount = 1;
        f.save();
        QCOMPARE(FrameSaver::listFiles(readOnly), QStringList{QStringLiteral("old.jpg")});
        QCOMPARE(QFileInfo(readOnly + QStringLiteral("/old.jpg")).size(), qint64(3000));
        QCOMPARE(f.saved.size(), 1);
        QCOMPARE(f.dialogs.messages.size(), boxes + 1);
        QVERIFY(f.dialogs.messages.constLast().text.startsWith(
            QStringLiteral("Не удалось записать снимок")));
        QVERIFY(f.context.watching);
    }

    // A burst taken while the disk is held: saveFrame returns at once and
    // nothing is reported; once the disk goes on, the pictures are reported
    // in the order taken, each complete when reported, and a failing one
    // says so and costs no other picture. Beyond the queue's room a picture
    // is dropped and the status line says so.
    void burstWhileTheDiskIsHeld_data() {
        QTest::addColumn<int>("failing");
        QTest::newRow("all written") << -1;
        QTest::newRow("second fails") << 1;
    }
    void burstWhileTheDiskIsHeld() {
        QFETCH(int, failing);
        HeldFile held; // outlives the saver's worker
        HeldFile heldFailing;
        heldFailing.fail = true;
        Fixture f;
        f.context.settings.saveAsJpeg = true;
        QStringList complete;
        QObject::connect(&f.saving, &FrameSaver::frameSaved, [&complete](const QString& path) {
            QFile file(path);
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (bytes.endsWith("\xff\xd9") && QImage::fromData(bytes).size() == QSize(64, 48))
                complete << QFileInfo(path).completeBaseName();
        });
        constexpr int Burst = recording::PictureWriter::Capacity;
        QStringList taken;
        for (int i = 0; i <= Burst; ++i) {
            f.saving.setPictureFile(i == failing ? &heldFailing : &held);
            taken << FrameSaver::timeStampedName(f.clock.now());
            f.saving.saveFrame(f.host.frame);
            f.clock.advance(10);
        }
        QCOMPARE(f.saving.pendingCount(), Burst);
        QCOMPARE(f.host.calls.count(QStringLiteral("PSave")), Burst);
        QCOMPARE(f.host.calls.last(),
                 QStringLiteral(" Снимок пропущен: диск не успевает записывать"));
        QTest::qWait(50); // a worker that ignored the hold would report now
        QVERIFY(f.saved.isEmpty());
        QVERIFY(!f.host.calls.contains(QStringLiteral("PsaveT")));

        held.permits.release(1000000);
        heldFailing.permits.release(1000000);
        QTRY_COMPARE_WITH_TIMEOUT(f.saving.pendingCount(), 0, 20000);
        taken.removeLast(); // dropped
        if (failing >= 0)
            taken.removeAt(failing);
        QCOMPARE(complete, taken);
        QCOMPARE(f.saved.size(), taken.size());
        QCOMPARE(f.dialogs.messages.size(), failing >= 0 ? 1 : 0);
        QCOMPARE(f.files().size(), taken.size()); // no temporary file left behind
    }

    // Pictures still queued when the saver goes are written all the same.
    void destroyedSaverLosesNone() {
        HeldFile held;
        Fixture f;
        auto saver = std::make_unique<FrameSaver>(f.context);
        saver->setPictureFile(&held);
        for (int i = 0; i < 4; ++i) {
            saver->saveFrame(f.host.frame);
            f.clock.advance(10);
        }
        held.permits.release(1000000);
        saver.reset();
        const QStringList files = f.files();
        QCOMPARE(files.size(), 4);
        for (const QString& name : files)
            QCOMPARE(QImage(f.folder() + name).size(), QSize(64, 48));
    }

    void noFrameNoFile() {
        Fixture f;
        f.host.frame = QImage();
        f.save();
        QVERIFY(f.saved.isEmpty());
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(f.dialogs.messages.constFirst().text,
                 QStringLiteral("Unable to load bitmap! Check filename"));
        QVERIFY(f.files().isEmpty());
    }
};

QTEST_MAIN(TestFrameSaving)
#include "tst_frame_saving.moc"
