// The detector settings window and the calibration window it opens, driven
// offscreen through their controls.
#include "WindowInput.h"
#include "controls/InfoTip.h"
#include "controls/PushButton.h"
#include "controls/Slider.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "core/SettingsStorage.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "ui/CalibrationWindow.h"
#include "ui/DetectorSettingsWindow.h"
#include "ui/MaskEditor.h"
#include "ui/ObjectDetectorWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace vigilux;
using vigilux::ui::CalibrationWindow;
using vigilux::ui::DetectorSettingsWindow;

namespace {

using vigilux::test::click;
using vigilux::test::showAndWait;

constexpr int Bound = 5000; // ms; every wait is bounded

using Values = std::array<qint32, 3>;

class RecordingTarget final : public core::DetectorValuesTarget {
public:
    void setDetectorValue(core::DetectorValue which, qint32 value) override {
        calls << QStringLiteral("%1=%2").arg(int(which)).arg(value);
        applied[static_cast<std::size_t>(which)] = value;
    }
    QStringList calls;
    std::array<qint32, 3> applied{};
};

// A program with stored detector values 500 / 5 / 10 in its options file.
struct Program {
    Program()
        : context(clock, dialogs, dir.path())
        , options(context, target) {
        context.settings.detectorValues = {500, 5, 10};
        context.settings.liveDetectorValues = {500, 5, 10};
        options.saveDetectorValues();
    }
    QString stored(const char* key) {
        return context.ini.read(QString::fromLatin1(key), QStringLiteral("Sensor"));
    }
    QStringList storedAll() { return {stored("Timer"), stored("Noise"), stored("Percent")}; }

    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    RecordingTarget target;
    AppContext context;
    core::SettingsStorage options;
};

// Drags the slider's handle pixel by pixel until it shows `target`.
bool dragTo(controls::Slider* slider, int target) {
    const QPoint grab = slider->handleRect().center();
    QTest::mousePress(slider, Qt::LeftButton, {}, grab);
    const int direction = target > slider->value() ? 1 : -1;
    for (int dx = direction; std::abs(dx) < slider->width() && slider->value() != target;
         dx += direction)
        QTest::mouseMove(slider, grab + QPoint(dx, 0));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, slider->mapFromGlobal(QCursor::pos()));
    return slider->value() == target;
}

// What the main window does with the detector's values during a calibration.
void forwardFps(AppContext& c, qint16 v) {
    if (c.calibrationPhase == core::CalibrationPhase::Speed && c.calibration)
        c.calibration->speedValue(v);
}
void forwardPercent(AppContext& c, qint32 v) {
    if ((c.calibrationPhase == core::CalibrationPhase::Noise ||
         c.calibrationPhase == core::CalibrationPhase::LargestDifference) &&
        c.calibration)
        c.calibration->similarityValue(v);
}

void endPhase1(CalibrationWindow& c, AppContext& context) {
    for (int guard = 0; context.calibrationPhase == core::CalibrationPhase::Speed && guard < 100;
         ++guard)
        c.logic().onStepTick();
}

} // namespace

class TestDetectorWindows : public QObject {
    Q_OBJECT

private slots:
    void openingSetsUpSlidersFromStoredValues() {
        Program p;
        p.context.settings.detectorValues = {700, 3, 12};
        {
            DetectorSettingsWindow w(p.context, p.options, p.target);
            QVERIFY(p.context.detectorWindowOpen);
            QCOMPARE(w.windowTitle(), QStringLiteral("Детектор движения"));
            QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
            const int expected[3][4] = {{700, 100, 5000, 100}, {3, 0, 15, 1}, {12, 1, 100, 1}};
            for (int i = 0; i < 3; ++i) {
                auto* s = w.findChild<controls::Slider*>(QStringLiteral("slider%1").arg(i));
                QVERIFY(s != nullptr);
                QCOMPARE(
                    QList<int>({s->value(), s->minimum(), s->maximum(), s->step()}),
                    QList<int>({expected[i][0], expected[i][1], expected[i][2], expected[i][3]}));
                auto* pic = w.findChild<QLabel*>(QStringLiteral("infoIcon%1").arg(i));
                QVERIFY(pic != nullptr);
                QCOMPARE(pic->toolTip(), QStringLiteral("Что это за настройка?"));
            }
            QCOMPARE(w.findChild<QLabel*>(QStringLiteral("caption2"))->text(),
                     QStringLiteral("порог срабатывания (разница между кадрами, не более), %"));
            QVERIFY(p.target.calls.isEmpty()); // opening pushes nothing
        }
        QVERIFY(!p.context.detectorWindowOpen); // destroyed without closing

        p.context.inTray = true;
        DetectorSettingsWindow hidden(p.context, p.options, p.target);
        QVERIFY(!(hidden.windowFlags() & Qt::WindowStaysOnTopHint));
    }

    // 0 OK, 1 Отмена, 2 close box.
    void closeSemantics_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<QStringList>("file");
        QTest::addColumn<Values>("detector");
        QTest::addColumn<int>("result");
        QTest::newRow("OK stores and applies")
            << 0 << QStringList{"500", "8", "4"} << Values{500, 8, 4} << int(QDialog::Accepted);
        QTest::newRow("Отмена restores")
            << 1 << QStringList{"500", "5", "10"} << Values{500, 5, 10} << int(QDialog::Rejected);
        QTest::newRow("close box keeps the moves, stores nothing")
            << 2 << QStringList{"500", "5", "10"} << Values{0, 8, 4} << int(QDialog::Rejected);
    }
    void closeSemantics() {
        QFETCH(int, how);
        QFETCH(QStringList, file);
        QFETCH(Values, detector);
        QFETCH(int, result);
        Program p;
        DetectorSettingsWindow w(p.context, p.options, p.target);
        QVERIFY(showAndWait(w));

        QVERIFY(dragTo(w.slider(1), 8));
        QVERIFY(dragTo(w.slider(2), 4));
        // Every move went into the detector at once.
        QCOMPARE(p.target.calls.last(), QStringLiteral("2=4"));
        QVERIFY(p.target.calls.contains(QStringLiteral("1=8")));
        QCOMPARE(p.context.settings.liveDetectorValues, (std::array<qint32, 3>{500, 8, 4}));
        QCOMPARE(p.storedAll(), (QStringList{"500", "5", "10"}));
        p.target.calls.clear();

        if (how == 2)
            w.close();
        else
            click(w.button(how));
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), result);
        QVERIFY(!p.context.detectorWindowOpen);
        QCOMPARE(p.storedAll(), file);
        if (how == 2) {
            QVERIFY(p.target.calls.isEmpty());
        } else {
            QCOMPARE(p.target.calls.size(), 3);
            QCOMPARE(p.target.applied, detector);
            QCOMPARE(p.context.settings.detectorValues[1], detector[1]);
        }
    }

    void okAtOnceWritesAndPushesTheSameValues() {
        Program p;
        QVERIFY(QFile::remove(p.context.ini.fileName()));
        DetectorSettingsWindow w(p.context, p.options, p.target);
        QVERIFY(showAndWait(w));
        click(w.button(0));
        QCOMPARE(p.storedAll(), (QStringList{"500", "5", "10"}));
        QCOMPARE(p.target.calls, (QStringList{"0=500", "1=5", "2=10"}));
    }

    void setSliderMovesAndAppliesWithinRange_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("shown");
        QTest::newRow("interval") << 0 << 300 << 300;
        QTest::newRow("percent past the end") << 2 << 102 << 100;
        QTest::newRow("noise below 0") << 1 << -1 << 0;
    }
    void setSliderMovesAndAppliesWithinRange() {
        QFETCH(int, index);
        QFETCH(int, value);
        QFETCH(int, shown);
        Program p;
        DetectorSettingsWindow w(p.context, p.options, p.target);
        QSignalSpy moved(w.slider(index), &controls::Slider::changed);
        w.setSlider(core::DetectorValue(index), value);
        QCOMPARE(w.slider(index)->value(), shown);
        QCOMPARE(w.sliderValue(core::DetectorValue(index)), shown);
        QCOMPARE(p.context.settings.liveDetectorValues[static_cast<std::size_t>(index)], shown);
        QCOMPARE(p.target.calls, QStringList{QStringLiteral("%1=%2").arg(index).arg(shown)});
        QCOMPARE(moved.count(), 0); // a value from code raises no changed
    }

    void helpBalloonFollowsThePointer() {
        Program p;
        DetectorSettingsWindow w(p.context, p.options, p.target);
        QVERIFY(showAndWait(w));
        QCOMPARE(w.tipPollTimer().interval(), 10);
        QLabel* pic = w.infoIcon(1);
        const QPoint centre = pic->rect().center();
        QCursor::setPos(pic->mapToGlobal(centre));
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::widgetAt(QCursor::pos()), pic, Bound);

        QTest::mousePress(pic, Qt::RightButton, {}, centre);
        QVERIFY(w.infoTip() == nullptr);
        QVERIFY(!w.tipPollTimer().isActive());

        QTest::mousePress(pic, Qt::LeftButton, {}, centre);
        controls::InfoTip* tip = w.infoTip();
        QVERIFY(tip != nullptr);
        QVERIFY(tip->window() != nullptr && tip->window()->isVisible());
        QCOMPARE(tip->title(), QStringLiteral("Сглаживание шума, % (оптимальное значение 3-8)"));
        QCOMPARE(tip->text(), DetectorSettingsWindow::tipTexts()[1]);
        QVERIFY(tip->showTitle());
        QVERIFY(!tip->useTimeOut());
        QVERIFY(!tip->dropShadow());
        QVERIFY(w.tipPollTimer().isActive());
        QTest::qWait(60); // several polls with the pointer still on the picture
        QVERIFY(w.infoTip() != nullptr);

        QCursor::setPos(w.mapToGlobal(QPoint(2, 2)));
        QTRY_VERIFY_WITH_TIMEOUT(w.infoTip() == nullptr, Bound);
        QVERIFY(!w.tipPollTimer().isActive());

        // A balloon still up when the window closes goes with it.
        QCursor::setPos(w.infoIcon(0)->mapToGlobal(centre));
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::widgetAt(QCursor::pos()), w.infoIcon(0), Bound);
        QTest::mousePress(w.infoIcon(0), Qt::LeftButton, {}, centre);
        QCOMPARE(w.infoTip()->title(),
                 QStringLiteral("Таймер, мсек (оптимальное значение 250-1000)"));
        w.close();
        QVERIFY(w.infoTip() == nullptr);
    }

    void balloonTextsKeepTheirLines() {
        const auto& t = DetectorSettingsWindow::tipTexts();
        QCOMPARE(t[0].split(QStringLiteral("\r\n")).size(), 10);
        const QStringList noise = t[1].split(QStringLiteral("\r\n"));
        QCOMPARE(noise.size(), 17);
        QVERIFY(noise[7].endsWith(QStringLiteral("перестанет ")));
        QCOMPARE(t[2].split(QStringLiteral("\r\n")).size(), 13);
        QVERIFY(!t[1].contains(QLatin1Char('\n') + QLatin1Char(' ')));
        QCOMPARE(DetectorSettingsWindow::tipTitles()[2],
                 QStringLiteral("Порог срабатывания, % (оптимальное значение 3-10)"));
    }

    // The whole calibration run from the detector window's button.
    void autocalibrationWritesTheSliders() {
        Program p;
        DetectorSettingsWindow w(p.context, p.options, p.target);
        QVERIFY(showAndWait(w));
        bool ran = false;
        w.setCalibrationRunner([&](CalibrationWindow& c) {
            ran = true;
            QVERIFY(!w.isVisible());
            QCOMPARE(p.context.calibration, &c);
            QCOMPARE(c.windowTitle(), QStringLiteral("Автокалибровка"));
            QVERIFY(showAndWait(c));
            auto* instruction = c.findChild<QLabel*>(QStringLiteral("instruction"));
            auto* status = c.findChild<QLabel*>(QStringLiteral("status"));
            QCOMPARE(status->text(), QStringLiteral("Нажмите 'старт' чтобы начать калибровку"));
            QCOMPARE(instruction->text(),
                     QStringLiteral("Направьте камеру на место съемки. Недопустимо наличие "
                                    "движущихся объектов и/или смена освещения."));
            QVERIFY(!c.progressFrame()->isVisible());

            click(c.button(0));
            QCOMPARE(p.context.calibrationPhase, core::CalibrationPhase::Speed);
            QVERIFY(c.progressFrame()->isVisible());
            QVERIFY(!c.button(0)->isEnabled() && !c.button(1)->isEnabled());
            QCOMPARE(p.target.calls.last(), QStringLiteral("0=100"));
            QCOMPARE(w.slider(0)->value(), 500);

            for (qint16 fps : {3, 3, 3})
                forwardFps(p.context, fps);
            QCOMPARE(status->text(), QStringLiteral("Получено и обработано: 3 фреймов"));
            endPhase1(c, p.context);
            QCOMPARE(p.context.calibrationPhase, core::CalibrationPhase::Noise);
            QCOMPARE(w.slider(0)->value(), 300);

            for (qint32 v : {96, 95, 94, 95})
                forwardPercent(p.context, v);
            QCOMPARE(p.context.calibrationPhase, core::CalibrationPhase::LargestDifference);
            for (qint32 v : {100, 97, 99, 98})
                forwardPercent(p.context, v);
            QCOMPARE(c.progressBar()->width(), c.progressFrame()->width() * 4 / 20);
            for (int i = 0; i < 17; ++i)
                forwardPercent(p.context, 99);
            QVERIFY(!c.isVisible()); // closed itself after the results
        });
        click(w.button(2));
        QVERIFY(ran);
        QVERIFY(w.isVisible());
        QVERIFY(p.context.detectorWindowOpen);
        QCOMPARE(p.context.calibration, nullptr);
        QCOMPARE(p.context.calibrationPhase, core::CalibrationPhase::None);
        QCOMPARE(p.dialogs.messages.size(), 1);
        QCOMPARE(p.dialogs.messages[0].title, QStringLiteral("Результаты теста"));
        QCOMPARE(QList<int>({w.slider(0)->value(), w.slider(1)->value(), w.slider(2)->value()}),
                 QList<int>({300, 0, 5}));
        // Back in the window, the live values are pushed once more.
        QCOMPARE(p.target.calls.mid(p.target.calls.size() - 3),
                 (QStringList{"0=300", "1=0", "2=5"}));
        QCOMPARE(p.storedAll(), (QStringList{"500", "5", "10"}));

        click(w.button(0));
        QCOMPARE(p.storedAll(), (QStringList{"300", "0", "5"}));
    }

    // 0 Отмена, 1 close box, 2 Esc, 3 destroyed while running.
    void closingCalibrationByAnyMeans_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Отмена before start") << 0;
        QTest::newRow("close box in phase 1") << 1;
        QTest::newRow("Esc in phase 1") << 2;
        QTest::newRow("destroyed in phase 1") << 3;
    }
    void closingCalibrationByAnyMeans() {
        QFETCH(int, how);
        Program p;
        DetectorSettingsWindow w(p.context, p.options, p.target);
        QVERIFY(showAndWait(w));
        QTimer* timer = nullptr;
        w.setCalibrationRunner([&](CalibrationWindow& c) {
            QVERIFY(showAndWait(c));
            if (how == 0) {
                click(c.button(1));
                return;
            }
            click(c.button(0));
            timer = &c.logic().stepTimer();
            QVERIFY(timer->isActive());
            forwardFps(p.context, 10);
            if (how == 1)
                c.close();
            else if (how == 2)
                QTest::keyClick(&c, Qt::Key_Escape);
            if (how != 3) {
                QVERIFY(!c.isVisible());
                QVERIFY(!timer->isActive());
                QCOMPARE(p.context.calibrationPhase, core::CalibrationPhase::None);
                QCOMPARE(p.context.calibration, nullptr);
            }
        });
        click(w.button(2));
        QCOMPARE(p.context.calibrationPhase, core::CalibrationPhase::None);
        QCOMPARE(p.context.calibration, nullptr);
        QVERIFY(p.dialogs.messages.isEmpty());
        QVERIFY(w.isVisible());
        // The 100 ms put in force at the start did not outlive the calibration.
        QCOMPARE(p.context.settings.liveDetectorValues[0], 500);
        QCOMPARE(p.target.applied[0], 500);
        QCOMPARE(w.slider(0)->value(), 500);
    }

    // The object detector chosen in the detector window, its mask painted,
    // the last alarm's area ignored in one click and the scene calibrated:
    // all of it stored on OK, a cleared mask leaves no file behind.
    void objectDetectorWindowStoresKindMaskAndCalibration() {
        Program p;
        const QString mask = QDir(p.dir.path()).filePath(QStringLiteral("mask.png"));
        QImage still(320, 240, QImage::Format_RGB888);
        still.fill(QColor(90, 90, 90));
        pipeline::WatchPipeline::AlarmArea alarm{QSize(320, 240), {QRect(0, 0, 40, 40)}};
        const auto openWith = [&](const std::function<void(ui::ObjectDetectorWindow&)>& use) {
            ui::ObjectDetectorWindow o(
                p.context, p.options, [&] { return still; }, alarm);
            QVERIFY(showAndWait(o));
            use(o);
        };

        DetectorSettingsWindow w(p.context, p.options, p.target);
        w.setObjectWindowOpener([&](bool calibrate) {
            QVERIFY(calibrate); // Автокалибровка with the object detector chosen
            openWith([&](ui::ObjectDetectorWindow& o) {
                ui::MaskEditor& editor = o.maskEditor();
                const QPoint middle = editor.rect().center();
                QTest::mousePress(&editor, Qt::LeftButton, {}, middle);
                QTest::mouseMove(&editor, middle + QPoint(4, 0));
                QTest::mouseRelease(&editor, Qt::LeftButton, {}, middle + QPoint(4, 0));
                o.ignoreLastAlarmButton().click();
                o.startCalibration();
                for (int i = 0; i < 200 && o.calibrating(); ++i) {
                    p.clock.advance(ui::ObjectDetectorWindow::kCalibrationFrameMs);
                    o.onCalibrationTick();
                }
                QVERIFY(!o.calibrating());
                QVERIFY(!o.calibrationText().text().startsWith(QStringLiteral("Калибровка")));
                o.accept();
                QCOMPARE(o.result(), int(QDialog::Accepted));
            });
        });
        QVERIFY(showAndWait(w));
        w.kindChooser()->setCurrentIndex(1);
        click(w.button(2));
        click(w.button(0));
        QCOMPARE(p.context.ini.read(QStringLiteral("Kind"), QStringLiteral("Detector")),
                 QStringLiteral("Objects"));
        const QImage stored(mask);
        QVERIFY(!stored.isNull());
        const auto at = [&](int x, int y) {
            return qGray(stored.pixel(x * stored.width() / 320, y * stored.height() / 240));
        };
        QCOMPARE(at(20, 20), 0);     // the alarm's area
        QCOMPARE(at(160, 120), 0);   // the stroke
        QCOMPARE(at(300, 200), 255); // watched

        openWith([&](ui::ObjectDetectorWindow& o) {
            o.findChild<QPushButton*>(QStringLiteral("clearMask"))->click();
            o.accept();
        });
        QVERIFY(!QFile::exists(mask));
    }
};

QTEST_MAIN(TestDetectorWindows)
#include "tst_detector_windows.moc"
