#include "FakeCaptureDevice.h"
#include "FakeDialogs.h"
#include "ui/FormatDialog.h"
#include "ui/SourceDialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

using vigilux::test::FakeCaptureDevice;
using vigilux::test::FakeDialogs;
using vigilux::ui::FormatDialog;
using vigilux::ui::SourceDialog;
using vigilux::video::CaptureDevice;
using vigilux::video::CaptureSource;

Q_DECLARE_METATYPE(CaptureSource)

namespace {

void click(QDialog& d, const char* button) {
    auto* b = d.findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

QListWidget* list(QDialog& d, const char* name) {
    return d.findChild<QListWidget*>(QString::fromLatin1(name));
}

} // namespace

class TestCaptureDialogs : public QObject {
    Q_OBJECT
private slots:
    void formatTexts_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("pixel");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole rate")
            << QSize(640, 480) << "NV12" << 30.0 << QStringLiteral("640 x 480, NV12, 30 fps");
        QTest::newRow("NTSC rate")
            << QSize(1280, 720) << "YUYV" << 29.97 << QStringLiteral("1280 x 720, YUYV, 29.97 fps");
        QTest::newRow("slow") << QSize(160, 120) << "MJPEG" << 7.5
                              << QStringLiteral("160 x 120, MJPEG, 7.5 fps");
    }
    void formatTexts() {
        QFETCH(QSize, size);
        QFETCH(QString, pixel);
        QFETCH(double, rate);
        QFETCH(QString, text);
        QCOMPARE(FormatDialog::formatText({size, pixel, rate}), text);
    }

    void formatDialogAppliesTheChosenFormat() {
        FakeCaptureDevice device;
        FakeDialogs dialogs;
        device.acceptedSizes = {QSize(320, 240), QSize(640, 480), QSize(800, 600)};
        FormatDialog d(device, dialogs);
        QCOMPARE(d.windowTitle(), QStringLiteral("Формат видео"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(),
                 QStringLiteral("Отмена"));
        QListWidget* l = list(d, "formatList");
        QCOMPARE(l->count(), 3);
        QCOMPARE(l->item(0)->text(), QStringLiteral("320 x 240, RGB24, 25 fps"));
        QCOMPARE(l->currentRow(), 1); // the size in force is preselected
        d.show();
        l->setCurrentRow(2);
        click(d, "okButton");
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(device.videoSize(), QSize(800, 600));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void formatDialogCancelChangesNothing() {
        FakeCaptureDevice device;
        FakeDialogs dialogs;
        FormatDialog d(device, dialogs);
        d.show();
        list(d, "formatList")->setCurrentRow(1);
        click(d, "cancelButton");
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(device.setVideoFormatCalls.isEmpty());
        QCOMPARE(device.videoSize(), QSize(640, 480));
    }

    void refusedFormatKeepsDialogOpenWithMessage() {
        FakeCaptureDevice device;
        FakeDialogs dialogs;
        device.listedSizes = {QSize(640, 480), QSize(1920, 1080)};
        FormatDialog d(device, dialogs);
        d.show();
        list(d, "formatList")->setCurrentRow(1);
        click(d, "okButton");
        QVERIFY(d.isVisible());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Ошибка"));
        QCOMPARE(device.videoSize(), QSize(640, 480));
    }

    void sourceDialogChoices_data() {
        QTest::addColumn<CaptureSource>("current");
        QTest::addColumn<int>("preselected");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("picked"); // file picker answer
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<CaptureSource>("chosen");
        const CaptureSource demo = CaptureSource::demo();
        QTest::newRow("second camera")
            << demo << 2 << 1 << QString() << true << CaptureSource::camera(1);
        QTest::newRow("demo") << CaptureSource::camera(0) << 0 << 2 << QString() << true << demo;
        QTest::newRow("video file") << demo << 2 << 3 << QStringLiteral("/v/walk.mp4") << true
                                    << CaptureSource::videoFile(QStringLiteral("/v/walk.mp4"));
        QTest::newRow("file picker cancelled") << demo << 2 << 3 << QString() << false << demo;
        QTest::newRow("missing camera not preselected")
            << CaptureSource::camera(5) << -1 << 0 << QString() << true << CaptureSource::camera(0);
    }
    void sourceDialogChoices() {
        QFETCH(CaptureSource, current);
        QFETCH(int, preselected);
        QFETCH(int, row);
        QFETCH(QString, picked);
        QFETCH(bool, accepted);
        QFETCH(CaptureSource, chosen);
        FakeDialogs dialogs;
        dialogs.fileAnswers.enqueue(picked);
        SourceDialog d(dialogs, {QStringLiteral("Камера A"), QStringLiteral("Камера B")}, current);
        QCOMPARE(d.windowTitle(), QStringLiteral("Источник видео"));
        QListWidget* l = list(d, "sourceList");
        QCOMPARE(l->count(), 4);
        QCOMPARE(l->item(2)->text(), QStringLiteral("Демонстрационная сцена"));
        QCOMPARE(l->item(3)->text(), QStringLiteral("Видеофайл..."));
        QCOMPARE(l->currentRow(), preselected);
        d.show();
        l->setCurrentRow(row);
        click(d, "okButton");
        QCOMPARE(d.isVisible(), !accepted);
        QCOMPARE(dialogs.pickers.size(), row == 3 ? 1 : 0);
        QVERIFY(d.chosen() == chosen);
    }
};

QTEST_MAIN(TestCaptureDialogs)
#include "tst_capture_dialogs.moc"
