#include "FakeClock.h"
#include "FakeDialogs.h"
#include "capture/FrameSaver.h"
#include "settings/AppContext.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;
using capture::FrameSaver;

namespace {

class FakeHost final : public capture::FrameSaverHost {
public:
    QImage frame;
    QStringList calls;
    QStringList sounds;

    QImage currentFrame() override { return frame; }
    void showSavingIndicator() override { calls << QStringLiteral("PSave"); }
    void startIndicatorHideTimer() override { calls << QStringLiteral("PsaveT"); }
    void toggleWatching() override { calls << QStringLiteral("StartAuto"); }
    void playSound(const QString& path) override { sounds << path; }
    void showStatus(const QString& text) override { calls << text; }
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
    FrameSaver saving{context, host};
    QSignalSpy saved{&saving, &FrameSaver::frameSaved};
    QSignalSpy format{&saving, &FrameSaver::imageFormatChanged};

    Fixture() {
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
        f.saving.saveFrame();
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

        f.saving.saveFrame();
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
        struct Guard final : capture::DeletionGuard {
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

        f.saving.saveFrame(); // two must go: a1 is kept, a2 goes
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
        f.saving.saveFrame();
        f.clock.advance(10);
        f.saving.saveFrame();
        f.clock.advance(10);
        f.saving.saveFrame();
        QCOMPARE(f.files().size(), 2); // the main folder is left alone
        QCOMPARE(FrameSaver::listFiles(f.folder() + QStringLiteral("2026.12.06/")).size(), 2);
    }

    void numberedNamesContinueFromTheFolder() {
        Fixture f;
        f.context.settings.singleFile = true;
        f.context.settings.singleFileName = QStringLiteral("cam");
        f.touch(QStringLiteral("cam00040.jpg"));
        f.touch(QStringLiteral("cam00041.jpg"));
        f.saving.saveFrame();
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("cam00042.bmp"));
        f.saving.saveFrame();
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("cam00043.bmp"));
        QCOMPARE(f.files().size(), 4);
    }

    void numberedNamesStartAfreshWithoutADigit() {
        Fixture f;
        f.context.settings.singleFile = true;
        f.context.settings.singleFileName = QStringLiteral("cam");
        f.touch(QStringLiteral("alpha.jpg"));
        f.touch(QStringLiteral("beta.jpg"));
        f.saving.saveFrame();
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
        f.saving.saveFrame();
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("n99999.bmp"));
        f.saving.saveFrame();
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
        f.saving.saveFrame();
        f.saving.saveFrame();
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
        f.saving.saveFrame();
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
        f.saving.saveFrame();
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
        f.saving.saveFrame();
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

    void failedJpegKeepsTheFrameAsBmp() {
        Fixture f;
        f.context.settings.saveAsJpeg = true;
        // A folder in the way of the JPEG file makes its write fail.
        QVERIFY(QDir(f.folder()).mkdir(QStringLiteral("2026_12_06_(21-30-05-42).jpg")));
        f.saving.saveFrame();
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages.constFirst().text.startsWith(
            QStringLiteral("5 - Cannot save the image. GDI+ Error:")));
        QCOMPARE(f.lastSaved(), f.folder() + QStringLiteral("2026_12_06_(21-30-05-42).bmp"));
        QVERIFY(!QImage(f.lastSaved()).isNull());
    }

    void noFrameNoFile() {
        Fixture f;
        f.host.frame = QImage();
        f.saving.saveFrame();
        QVERIFY(f.saved.isEmpty());
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(f.dialogs.messages.constFirst().text,
                 QStringLiteral("Unable to load bitmap! Check filename"));
        QVERIFY(f.files().isEmpty());
    }
};

QTEST_MAIN(TestFrameSaving)
#include "tst_frame_saving.moc"
