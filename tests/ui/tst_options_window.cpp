#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "controls/Slider.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "core/SettingsStorage.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "ui/ClipOptionsPanel.h"
#include "ui/EventsOptionsPage.h"
#include "ui/ProgramOptionsWindow.h"

#include "FakeCaptureCommands.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace vigilux;
using vigilux::controls::CheckBox;
using vigilux::controls::PushButton;
using vigilux::ui::ProgramOptionsWindow;
using Icon = vigilux::platform::Dialogs::Icon;
using Buttons = vigilux::platform::Dialogs::Buttons;
using Answer = vigilux::platform::Dialogs::Answer;
using Picker = vigilux::test::FakeDialogs::Picker;

namespace {

class RecordingTarget final : public core::DetectorValuesTarget {
public:
    void setDetectorValue(core::DetectorValue which, qint32 value) override {
        calls.append({static_cast<qint16>(which), value});
    }
    QList<QPair<qint16, qint32>> calls;
};

const QString OwnExecutable = QStringLiteral("/opt/vigilux/vigilux");
// The capture page's buttons: picture format, camera settings, HD resolutions.
const QStringList CaptureButtons{QStringLiteral("formatButton"),
                                 QStringLiteral("cameraSettingsButton"),
                                 QStringLiteral("resolutionsButton")};

// A running program with a settings file in a temporary folder, every key
// set away from its default, and the options window open on it.
struct Program {
    Program()
        : context(clock, dialogs, dir.path())
        , storage(context, target) {
        core::Settings& s = context.settings;
        s.startMinimized = true;
        s.startWatching = false;
        s.soundOnSave = true;
        s.saveSoundPath = QStringLiteral("/snd/save.wav");
        s.blockScreenSaver = false;
        s.autoCheckUpdates = true;
        s.savePath = dir.path() + QStringLiteral("/pics");
        s.createSubfolders = false;
        s.singleFile = true;
        s.singleFileName = QStringLiteral("cam");
        s.limitFiles = true;
        s.maxFileCount = 250;
        s.saveAsJpeg = false;
        s.imprintDate = true;
        s.jpegQuality = 60;
        s.syncPreviewRate = false;
        s.saveOnAlarm = true;
        s.soundOnAlarm = false;
        s.alarmSoundPath = QStringLiteral("/snd/alarm.wav");
        s.runOnAlarm = false;
        s.alarmProgramPath = QStringLiteral("/usr/bin/notify");
        s.waitForAlarmProgram = true;
        s.balloonOnAlarm = false;
        s.detectorValues = {700, 4, 12};
        s.resolutionCandidates = core::SettingsStorage::DefaultResolutions;
        storage.save();
    }
    ~Program() { delete window.data(); }

    ProgramOptionsWindow& open() {
        window = new ProgramOptionsWindow(context, storage, capture, [this] {
            log << QStringLiteral("imageFormatLabel hidden");
        });
        window->setOwnExecutable(OwnExecutable);
        window->show();
        return *window;
    }

    QByteArray file() const {
        QFile f(context.ini.fileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    template <typename T>
    T* child(const QString& name) const {
        T* found = window->findChild<T*>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    CheckBox* check(int i) const { return child<CheckBox>(QStringLiteral("Check_%1").arg(i)); }
    QLineEdit* text(int i) const { return child<QLineEdit>(QStringLiteral("Text_%1").arg(i)); }
    PushButton* button(const QString& name) const { return child<PushButton>(name); }

    // Clicks a control, first selecting the page it sits on, as a user must.
    void click(QWidget* control) {
        for (int page = 0; page < 5; ++page) {
            auto* cont = child<QWidget>(QStringLiteral("Cont_%1").arg(page));
            if (cont->isAncestorOf(control) && !cont->isVisible())
                QTest::mouseClick(button(QStringLiteral("Tabs_%1").arg(page)), Qt::LeftButton, {},
                                  QPoint(4, 4));
        }
        QVERIFY2(control->isVisible(), qPrintable(control->objectName()));
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(4, 4));
    }
    void click(const QString& name) { click(child<QWidget>(name)); }

    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    RecordingTarget target;
    AppContext context;
    core::SettingsStorage storage;
    test::FakeCaptureCommands capture;
    QStringList log;
    QPointer<ProgramOptionsWindow> window;
};

// The "Key=value" lines in which two versions of the file differ.
QStringList changedLines(const QByteArray& before, const QByteArray& after) {
    const QList<QByteArray> a = before.split('\n');
    const QList<QByteArray> b = after.split('\n');
    QStringList changed;
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QByteArray line = i < b.size() ? b[i] : QByteArray();
        if (i >= a.size() || a[i] != line)
            changed << QString::fromUtf8(line);
    }
    return changed;
}

} // namespace

class TestProgramOptionsWindow : public QObject {
    Q_OBJECT

private slots:
    void controlsAndTexts_data();
    void controlsAndTexts();
    void tabs();
    void eventsPage();
    void checkEditsItsKey_data();
    void checkEditsItsKey();
    void textEditsItsKey_data();
    void textEditsItsKey();
    void okWithoutChangesWritesTheSameFile();
    void cancelTouchesNothing();
    void dependentControls_data();
    void dependentControls();
    void saveAlarmWarning();
    void pickers_data();
    void pickers();
    void pictureLimit();
    void pictureLimitWarning();
    void resetAnsweredNo();
    void resetAnsweredYes();
    void captureButtons_data();
    void captureButtons();
    void captureButtonEndsExecAndStaysOpen();
};

void TestProgramOptionsWindow::controlsAndTexts_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << 0 << 0 << "запускать в свернутом режиме";
    QTest::newRow("1") << 1 << 0 << "включить автосъемку после запуска";
    QTest::newRow("2") << 2 << 0 << "звук при сохранении кадра";
    QTest::newRow("3") << 3 << 0 << "блокировать хранитель экрана";
    QTest::newRow("15") << 15 << 0 << "автоматически проверять обновления";
    QTest::newRow("4") << 4 << 2 << "создавать подкаталоги по дате снимка";
    QTest::newRow("5") << 5 << 2 << "постоянное имя файла (иначе имя=время)";
    QTest::newRow("6") << 6 << 2 << "не более";
    QTest::newRow("7") << 7 << 1 << "сохранять в формате .JPG (иначе - .BMP)";
    QTest::newRow("8") << 8 << 1 << "впечатывать на изображение дату и время";
    QTest::newRow("9") << 9 << 1 << "синхронизировать просмотр с детектором";
    QTest::newRow("10") << 10 << 3 << "сохранять снимки при движении в кадре";
    QTest::newRow("11") << 11 << 3 << "звук тревоги при движении в кадре";
    QTest::newRow("12") << 12 << 3 << "запустить программу при движении в кадре";
    QTest::newRow("14") << 14 << 3 << "и дождаться завершения ее работы";
    QTest::newRow("13") << 13 << 3 << "оповестить сообщением из системного трея";
}

void TestProgramOptionsWindow::controlsAndTexts() {
    QFETCH(int, index);
    QFETCH(int, page);
    QFETCH(QString, caption);
    Program program;
    ProgramOptionsWindow& window = program.open();
    QCOMPARE(window.windowTitle(), QStringLiteral("Настройки"));
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(window.loaded());

    auto* cont = program.child<QWidget>(QStringLiteral("Cont_%1").arg(page));
    QVERIFY(cont->isAncestorOf(program.check(index)));
    QCOMPARE(program.child<QLabel>(QStringLiteral("CheckCaption_%1").arg(index))->text(), caption);

    // The rest of the window's fixed texts, checked once.
    if (index != 0)
        return;
    const QStringList tabs{"Интерфейс", "Изображение", "Файлы", "Детектор"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(program.button(QStringLiteral("Tabs_%1").arg(i))->caption(), tabs[i]);
    const QStringList buttons{"OK", "Отмена", "По умолчанию"};
    const QStringList buttonNames{"okButton", "cancelButton", "defaultsButton"};
    const QStringList capture{"формат изображения", "настройки камеры",
                              "поддержка высокого разрешения"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(program.button(buttonNames[i])->caption(), buttons[i]);
        auto* b = program.button(CaptureButtons[i]);
        QCOMPARE(b->caption(), capture[i]);
        QVERIFY(program.child<QWidget>(QStringLiteral("Cont_1"))->isAncestorOf(b));
    }
    QStringList labels;
    for (const QLabel* label : window.findChildren<QLabel*>())
        labels << label->text();
    QVERIFY(labels.contains(QStringLiteral("папка для сохранения снимков")));
    QVERIFY(labels.contains(QStringLiteral("снимков в одной папке")));
    QVERIFY(labels.contains(QStringLiteral("качество JPEG")));
    QCOMPARE(program.child<QLabel>(QStringLiteral("PicInfotip"))->toolTip(),
             QStringLiteral("Что это за настройка?"));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(program.button(QStringLiteral("Sel_%1").arg(i))->caption(), QStringLiteral("..."));

    auto* slider = program.child<controls::Slider>(QStringLiteral("Slider1"));
    QCOMPARE(slider->minimum(), 10);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(slider->step(), 5);
    QCOMPARE(slider->value(), 60);
    auto* scroll = program.child<QScrollBar>(QStringLiteral("VScroll1"));
    QCOMPARE(scroll->minimum(), 1);
    QCOMPARE(scroll->maximum(), 10000);
    QCOMPARE(scroll->value(), 250);
    QCOMPARE(program.child<QLabel>(QStringLiteral("Label2"))->text(), QStringLiteral("250"));
}

void TestProgramOptionsWindow::tabs() {
    Program program;
    ProgramOptionsWindow& window = program.open();
    const auto shows = [&](int selected) {
        QCOMPARE(window.selectedTab(), selected);
        for (int i = 0; i < 4; ++i) {
            const bool on = i == selected;
            QCOMPARE(program.child<QWidget>(QStringLiteral("Cont_%1").arg(i))->isVisible(), on);
            QCOMPARE(program.child<QWidget>(QStringLiteral("m_%1").arg(i))->isVisible(), on);
            QCOMPARE(program.button(QStringLiteral("Tabs_%1").arg(i))->enabledCtrl(), !on);
        }
    };
    shows(0);
    for (int tab : {3, 1, 2, 0}) {
        program.click(QStringLiteral("Tabs_%1").arg(tab));
        shows(tab);
    }
    // The current tab cannot be clicked again.
    const QSize size = window.size();
    program.click(QStringLiteral("Tabs_0"));
    shows(0);
    program.click(QStringLiteral("Tabs_3"));
    QCOMPARE(window.size(), size);
}

// The events page starts from the defaults of a file without [Events], and
// OK writes only what was changed on it.
void TestProgramOptionsWindow::eventsPage() {
    Program program;
    ProgramOptionsWindow& window = program.open();
    const QByteArray before = program.file();
    QCOMPARE(program.button(QStringLiteral("Tabs_4"))->caption(), QStringLiteral("События"));
    ui::EventsOptionsPage& page = window.eventsPage();
    QVERIFY(!page.isVisible());
    QCOMPARE(page.gap()->value(), 10);
    QCOMPARE(page.gap()->minimum(), 1);
    QCOMPARE(page.gap()->maximum(), 3600);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!page.perEvent(i)->value());
    QVERIFY(page.framesMode(0)->isChecked());
    QCOMPARE(page.firstFrames()->value(), 3);
    QCOMPARE(page.frameInterval()->value(), 5);
    QVERIFY(!page.firstFrames()->isEnabled()); // only for their own mode

    program.click(page.perEvent(1));
    program.click(page.framesMode(1));
    QCOMPARE(window.selectedTab(), 4);
    QVERIFY(page.firstFrames()->isEnabled());
    page.gap()->setValue(30);
    page.firstFrames()->setValue(4);
    program.click(page.clipPanel()->clips()); // the clip options sit on this page too
    program.click(QStringLiteral("okButton"));
    QCOMPARE(changedLines(before, program.file()),
             (QStringList{"EventGap=30", "BalloonPerEvent=True", "EventFrames=1",
                          "EventFirstFrames=4", "EventClips=True"}));
    const core::Settings& s = program.context.settings;
    QCOMPARE(s.eventGap, 30);
    QVERIFY(s.balloonPerEvent && !s.soundPerEvent && !s.programPerEvent);
    QCOMPARE(s.eventFrames, 1);
}

void TestProgramOptionsWindow::checkEditsItsKey_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("stored");
    QTest::newRow("MinStart") << 0 << "MinStart" << true;
    QTest::newRow("AutoStart") << 1 << "AutoStart" << false;
    QTest::newRow("Sound") << 2 << "Sound" << true;
    QTest::newRow("BlockSSaver") << 3 << "BlockSSaver" << false;
    QTest::newRow("AutoCheckUpdates") << 15 << "AutoCheckUpdates" << true;
    QTest::newRow("CreateSubFolders") << 4 << "CreateSubFolders" << false;
    QTest::newRow("StaticFile") << 5 << "StaticFile" << true;
    QTest::newRow("MaxFiles") << 6 << "MaxFiles" << true;
    QTest::newRow("Convert2JPG") << 7 << "Convert2JPG" << false;
    QTest::newRow("InPrintDate") << 8 << "InPrintDate" << true;
    QTest::newRow("SyncPreRate") << 9 << "SyncPreRate" << false;
    QTest::newRow("SaveAlarm") << 10 << "SaveAlarm" << true;
    QTest::newRow("SoundAlarm") << 11 << "SoundAlarm" << false;
    QTest::newRow("RunAlarm") << 12 << "RunAlarm" << false;
    QTest::newRow("SysTrayAlarm") << 13 << "SysTrayAlarm" << false;
    QTest::newRow("RunAlarmWait") << 14 << "RunAlarmWait" << true;
}

void TestProgramOptionsWindow::checkEditsItsKey() {
    QFETCH(int, index);
    QFETCH(QString, key);
    QFETCH(bool, stored);
    Program program;
    const QByteArray before = program.file();
    ProgramOptionsWindow& window = program.open();
    QCOMPARE(program.check(index)->value(), stored);

    program.click(program.check(index));
    QCOMPARE(program.check(index)->value(), !stored);
    program.click(QStringLiteral("okButton"));
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(!window.isVisible());

    // Exactly the one key changed, in its place in the file.
    const QString now = stored ? QStringLiteral("False") : QStringLiteral("True");
    QCOMPARE(changedLines(before, program.file()), QStringList{key + QLatin1Char('=') + now});
}

void TestProgramOptionsWindow::textEditsItsKey_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::newRow("SoundPath") << 0 << "SoundPath"
                               << "/snd/save.wav";
    QTest::newRow("StaticFilePath") << 2 << "StaticFilePath"
                                    << "cam";
    QTest::newRow("SoundAlarmPath") << 3 << "SoundAlarmPath"
                                    << "/snd/alarm.wav";
    QTest::newRow("RunAlarmPath") << 4 << "RunAlarmPath"
                                  << "/usr/bin/notify";
}

void TestProgramOptionsWindow::textEditsItsKey() {
    QFETCH(int, index);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    Program program;
    const QByteArray before = program.file();
    program.open();
    QCOMPARE(program.text(index)->text(), stored);

    // Typed text is stored as typed, without checks.
    program.text(index)->setText(QStringLiteral("typed name"));
    program.click(QStringLiteral("okButton"));
    QCOMPARE(changedLines(before, program.file()),
             QStringList{key + QStringLiteral("=typed name")});
}

void TestProgramOptionsWindow::okWithoutChangesWritesTheSameFile() {
    Program program;
    const QByteArray baseline = program.file();
    const core::Settings before = program.context.settings;
    QVERIFY(QFile::remove(program.context.ini.fileName()));

    ProgramOptionsWindow& window = program.open();
    QCOMPARE(program.child<QLineEdit>(QStringLiteral("Text_1"))->text(),
             program.context.settings.savePath);
    program.click(QStringLiteral("okButton"));
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(program.file(), baseline);
    QVERIFY(program.context.settings == before);
}

void TestProgramOptionsWindow::cancelTouchesNothing() {
    Program program;
    program.storage.saveFtp();
    const QByteArray baseline = program.file();
    const core::Settings before = program.context.settings;

    ProgramOptionsWindow& window = program.open();
    for (int i : {0, 2, 4, 7, 10, 12})
        program.click(program.check(i));
    program.text(2)->setText(QStringLiteral("other"));
    program.child<QScrollBar>(QStringLiteral("VScroll1"))->setValue(9000);
    program.child<controls::Slider>(QStringLiteral("Slider1"))->setValue(95);
    program.click(QStringLiteral("cancelButton"));

    QCOMPARE(window.result(), int(QDialog::Rejected));
    QVERIFY(!window.isVisible());
    QCOMPARE(program.file(), baseline);
    QVERIFY(program.context.settings == before);
}

void TestProgramOptionsWindow::dependentControls_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("field");
    QTest::newRow("sound") << 2 << 0;
    QTest::newRow("fixed name") << 5 << 2;
    QTest::newRow("alarm sound") << 11 << 3;
    QTest::newRow("alarm program") << 12 << 4;
}

void TestProgramOptionsWindow::dependentControls() {
    QFETCH(int, box);
    QFETCH(int, field);
    Program program;
    program.open();
    auto* sel = program.button(QStringLiteral("Sel_%1").arg(field));

    // Opening does not line the fields up with the boxes.
    QVERIFY(program.text(field)->isEnabled());
    QVERIFY(sel->enabledCtrl());

    for (int round = 0; round < 2; ++round) {
        program.click(program.check(box));
        const bool on = program.check(box)->value();
        QCOMPARE(program.text(field)->isEnabled(), on);
        QCOMPARE(sel->enabledCtrl(), on);
        if (box == 12)
            QCOMPARE(program.check(14)->isEnabled(), on);
        else
            QVERIFY(program.check(14)->isEnabled());
    }
}

void TestProgramOptionsWindow::saveAlarmWarning() {
    Program program;
    program.open();
    const QString warning = QStringLiteral("Учтите, что при отключении этой опции, программа не "
                                           "сможет закачивать изображения на FTP в режиме "
                                           "автосъемки.");
    const auto warnings = [&] {
        int n = 0;
        for (const auto& m : program.dialogs.messages)
            n += m.text == warning ? 1 : 0;
        return n;
    };

    program.click(program.check(10)); // unticked
    QCOMPARE(program.dialogs.messages.size(), 1);
    const auto& m = program.dialogs.messages.constFirst();
    QCOMPARE(m.icon, Icon::Information);
    QCOMPARE(m.title, QStringLiteral("Внимание!"));
    QCOMPARE(m.text, warning);
    QCOMPARE(m.buttons, Buttons::Ok);
    QVERIFY(!program.check(10)->value());

    program.click(program.check(10)); // ticked again: nothing
    QCOMPARE(warnings(), 1);
    program.click(program.check(10)); // unticked once more
    QCOMPARE(warnings(), 2);

    // A reset that turns it back on says nothing about it.
    program.dialogs.answers.enqueue(Answer::Yes);
    program.dialogs.folderAnswers.enqueue(program.dir.path());
    program.click(QStringLiteral("defaultsButton"));
    QVERIFY(program.check(10)->value());
    QCOMPARE(warnings(), 2);
}

void TestProgramOptionsWindow::pickers_data() {
    QTest::addColumn<int>("sel");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("extension");

    const QString sounds = QStringLiteral("Звуки (wav)|*.wav");
    const QString programs = QStringLiteral("Сценарии (.sh)|*.sh|Все файлы|*");
    const int file = Picker::OpenFile;
    const int folder = Picker::Folder;
    QTest::newRow("sound") << 0 << "/s/new.wav"
                           << "/s/new.wav" << file << "Открыть" << sounds << "*.wav";
    QTest::newRow("sound cancelled") << 0 << ""
                                     << "/snd/save.wav" << file << "Открыть" << sounds << "*.wav";
    QTest::newRow("alarm sound") << 3 << "/s/siren.wav"
                                 << "/s/siren.wav" << file << "Открыть" << sounds << "*.wav";
    QTest::newRow("folder") << 1 << "/data/pictures/"
                            << "/data/pictures" << folder << "Выберите каталог"
                            << ""
                            << "";
    QTest::newRow("folder cancelled") << 1 << "" << QString() << folder << "Выберите каталог"
                                      << ""
                                      << "";
    QTest::newRow("program") << 4 << "/usr/local/bin/alarm.sh"
                             << "/usr/local/bin/alarm.sh" << file << "Открыть" << programs << "*.*";
    QTest::newRow("program cancelled")
        << 4 << ""
        << "/usr/bin/notify" << file << "Открыть" << programs << "*.*";
    QTest::newRow("own executable refused")
        << 4 << OwnExecutable << "/usr/bin/notify" << file << "Открыть" << programs << "*.*";
    QTest::newRow("same name elsewhere")
        << 4 << "/opt/vigilux/vigilux2"
        << "/opt/vigilux/vigilux2" << file << "Открыть" << programs << "*.*";
}

void TestProgramOptionsWindow::pickers() {
    QFETCH(int, sel);
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, filter);
    QFETCH(QString, extension);
    Program program;
    program.open();
    if (expected.isNull())
        expected = program.context.settings.savePath;
    if (kind == Picker::Folder)
        program.dialogs.folderAnswers.enqueue(answer);
    else
        program.dialogs.fileAnswers.enqueue(answer);

    program.click(QStringLiteral("Sel_%1").arg(sel));
    QCOMPARE(program.dialogs.pickers.size(), 1);
    const Picker& picker = program.dialogs.pickers.constFirst();
    QCOMPARE(int(picker.kind), kind);
    QCOMPARE(picker.title, title);
    QCOMPARE(picker.filter, filter);
    QCOMPARE(picker.defaultExtension, extension);
    QCOMPARE(program.text(sel)->text(), expected);

    const bool refused = answer == OwnExecutable;
    QCOMPARE(program.dialogs.messages.size(), refused ? 1 : 0);
    if (refused) {
        const auto& m = program.dialogs.messages.constFirst();
        QCOMPARE(m.icon, Icon::Error);
        QCOMPARE(m.title, QStringLiteral("Защита от дурака"));
        QCOMPARE(m.text, QStringLiteral("Я не знаю, на что ты рассчитываешь, но программа не "
                                        "будет запускать сама себя."));
    }
}

void TestProgramOptionsWindow::pictureLimit() {
    Program program;
    program.open();
    auto* scroll = program.child<QScrollBar>(QStringLiteral("VScroll1"));
    auto* label = program.child<QLabel>(QStringLiteral("Label2"));
    QCOMPARE(scroll->singleStep(), 100);

    // Arrow clicks move by the step of the value reached.
    scroll->setValue(9);
    QCOMPARE(label->text(), QStringLiteral("9"));
    scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(scroll->value(), 10);
    scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(scroll->value(), 11);
    QCOMPARE(scroll->singleStep(), 10);
    scroll->setValue(1000);
    scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(scroll->value(), 1100);
    QCOMPARE(label->text(), QStringLiteral("1100"));
    QCOMPARE(scroll->singleStep(), 500);
    scroll->setValue(10000);
    scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(scroll->value(), 10000);

    // The "не более" box and the count are stored apart.
    program.click(program.check(6));
    program.child<controls::Slider>(QStringLiteral("Slider1"))->setValue(85);
    program.click(QStringLiteral("okButton"));
    QCOMPARE(program.context.ini.read(QStringLiteral("MaxFiles"), QStringLiteral("Files")),
             QStringLiteral("False"));
    QCOMPARE(program.context.ini.read(QStringLiteral("MaxFilesCount"), QStringLiteral("Files")),
             QStringLiteral("10000"));
    QCOMPARE(program.context.ini.read(QStringLiteral("JPGq"), QStringLiteral("Image")),
             QStringLiteral("85"));
    QCOMPARE(program.context.settings.maxFileCount, qint16(10000));
}

void TestProgramOptionsWindow::pictureLimitWarning() {
    Program program;
    program.open();
    program.click(QStringLiteral("PicInfotip"));
    QCOMPARE(program.dialogs.messages.size(), 1);
    const auto& m = program.dialogs.messages.constFirst();
    QCOMPARE(m.icon, Icon::Information);
    QCOMPARE(m.title, QStringLiteral("Внимание!"));
    QCOMPARE(m.buttons, Buttons::Ok);
    QCOMPARE(m.text,
             QStringLiteral("Внимание!\r\n\r\nБудьте осторожны при использовании этой функции.\r\n"
                            "В целях ускорения работы с большим количеством файлов,\r\n"
                            "программа не анализирует их имена и расширения, а просто\r\n"
                            "удаляет лишние файлы, находящиеся вверху списка.\r\n\r\n"
                            "Перед началом работы настоятельно рекомендуется\r\n"
                            "очистить каталог сохранения снимков, если там находятся\r\n"
                            "предыдущие снимки."));
}

void TestProgramOptionsWindow::resetAnsweredNo() {
    Program program;
    const QByteArray baseline = program.file();
    const core::Settings before = program.context.settings;
    ProgramOptionsWindow& window = program.open();
    program.click(program.check(0));
    program.dialogs.answers.enqueue(Answer::No);
    program.click(QStringLiteral("defaultsButton"));

    QCOMPARE(program.dialogs.messages.size(), 1);
    const auto& m = program.dialogs.messages.constFirst();
    QCOMPARE(m.icon, Icon::Question);
    QCOMPARE(m.title, QStringLiteral("Внимание!"));
    QCOMPARE(m.buttons, Buttons::YesNo);
    QCOMPARE(m.text, QStringLiteral("Вы уверены, что хотите сбросить все настройки в значения по "
                                    "умолчанию?\r\nПараметры детектора движения также будут "
                                    "установлены в исходные значения"));
    QVERIFY(program.dialogs.pickers.isEmpty());
    QVERIFY(program.target.calls.isEmpty());
    QCOMPARE(program.file(), baseline);
    QVERIFY(program.context.settings == before);
    QVERIFY(!program.check(0)->value()); // the user's change stays in the window
    QVERIFY(window.isVisible());
}

void TestProgramOptionsWindow::resetAnsweredYes() {
    Program program;
    program.context.settings.ftpServer = QStringLiteral("ftp.example.org");
    program.context.settings.ftpPassword = QStringLiteral("pw");
    program.storage.saveFtp();
    const QString ftpPassStored =
        program.context.ini.read(QStringLiteral("FtpPass"), QStringLiteral("FTP"));
    ProgramOptionsWindow& window = program.open();
    program.text(2)->setText(QStringLiteral("edited"));

    const QString chosen = program.dir.path() + QStringLiteral("/chosen");
    program.dialogs.answers.enqueue(Answer::Yes);
    program.dialogs.folderAnswers.enqueue(chosen);
    program.click(QStringLiteral("defaultsButton"));

    QCOMPARE(program.dialogs.pickers.size(), 1);
    QCOMPARE(program.dialogs.pickers.constFirst().title,
             QStringLiteral("Выберите каталог для сохранения снимков"));
    QVERIFY(window.isVisible());

    // The file holds the defaults, the FTP connection keys stay.
    {
        core::IniFile& ini = program.context.ini;
        QCOMPARE(ini.read(QStringLiteral("SavePath"), QStringLiteral("Files")), chosen);
        QCOMPARE(ini.read(QStringLiteral("JPGq"), QStringLiteral("Image")), QStringLiteral("75"));
        QCOMPARE(ini.read(QStringLiteral("MinStart"), QStringLiteral("Interface")),
                 QStringLiteral("False"));
        QCOMPARE(ini.read(QStringLiteral("Timer"), QStringLiteral("Sensor")),
                 QStringLiteral("500"));
        QCOMPARE(ini.read(QStringLiteral("FtpServer"), QStringLiteral("FTP")),
                 QStringLiteral("ftp.example.org"));
        QCOMPARE(ini.read(QStringLiteral("FtpPass"), QStringLiteral("FTP")), ftpPassStored);
    }
    QCOMPARE(program.target.calls, (QList<QPair<qint16, qint32>>{{0, 500}, {1, 5}, {2, 10}}));

    // Every control shows the defaults again.
    QVERIFY(!program.check(0)->value());
    QVERIFY(program.check(3)->value());
    QVERIFY(program.check(4)->value());
    QVERIFY(!program.check(5)->value());
    QVERIFY(program.check(7)->value());
    QVERIFY(!program.check(8)->value());
    QVERIFY(program.check(9)->value());
    QVERIFY(!program.check(14)->value());
    QCOMPARE(program.text(0)->text(), program.dir.path() + QStringLiteral("/sound/save.wav"));
    QCOMPARE(program.text(1)->text(), chosen);
    QCOMPARE(program.text(2)->text(), QStringLiteral("frame"));
    QCOMPARE(program.text(4)->text(), QString());
    QCOMPARE(program.child<controls::Slider>(QStringLiteral("Slider1"))->value(), 75);
    QCOMPARE(program.child<QScrollBar>(QStringLiteral("VScroll1"))->value(), 1000);
    QCOMPARE(program.child<QLabel>(QStringLiteral("Label2"))->text(), QStringLiteral("1000"));
}

void TestProgramOptionsWindow::captureButtons_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("format") << 0 << QStringList{"WebcamFormat (hidden)", "imageFormatLabel hidden"};
    QTest::newRow("source") << 1 << QStringList{"WebcamOptions (hidden)"};
    QTest::newRow("HD window") << 2 << QStringList{"Поддержка HD-разрешения (hidden, modal)"};
}

void TestProgramOptionsWindow::captureButtons() {
    QFETCH(int, index);
    QFETCH(QStringList, expected);
    Program program;
    ProgramOptionsWindow& window = program.open();
    const auto hidden = [&] {
        return window.isVisible() ? QStringLiteral("shown") : QStringLiteral("hidden");
    };
    program.capture.duringDialog = [&] {
        program.log << program.capture.commands.constLast() + QStringLiteral(" (") + hidden() +
                           QLatin1Char(')');
    };
    // The resolution window runs modally; note it and close it from inside its loop.
    QTimer closer;
    closer.setSingleShot(true);
    connect(&closer, &QTimer::timeout, &closer, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            program.log << QStringLiteral("no modal window");
            return;
        }
        program.log << modal->windowTitle() + QStringLiteral(" (") + hidden() +
                           QStringLiteral(", modal)");
        QTest::mouseClick(modal->findChild<PushButton*>(QStringLiteral("button1")), Qt::LeftButton,
                          {}, QPoint(4, 4));
    });
    if (index == 2)
        closer.start(0);

    program.click(CaptureButtons[index]);
    QCOMPARE(program.log, expected);
    QVERIFY(program.capture.resCalls.isEmpty());

    // Back, modeless, until OK; then it deletes itself.
    QVERIFY(window.isVisible());
    QVERIFY(window.detached());
    QCOMPARE(window.windowModality(), Qt::NonModal);
    program.click(program.check(0));
    program.click(QStringLiteral("okButton"));
    QTRY_VERIFY_WITH_TIMEOUT(program.window.isNull(), 5000);
    QCOMPARE(program.context.ini.read(QStringLiteral("MinStart"), QStringLiteral("Interface")),
             QStringLiteral("False"));
}

void TestProgramOptionsWindow::captureButtonEndsExecAndStaysOpen() {
    Program program;
    const QByteArray baseline = program.file();
    ProgramOptionsWindow& window = program.open();
    window.hide();

    // Click the source button from inside exec(); a second timer ends a
    // run that went wrong instead of leaving the test hanging.
    QPointer<ProgramOptionsWindow> guard(&window);
    QTimer::singleShot(0, &window, [&] {
        program.click(QStringLiteral("Tabs_1"));
        program.click(QStringLiteral("cameraSettingsButton"));
    });
    QTimer::singleShot(5000, &window, [guard] {
        if (guard && guard->isModal())
            guard->done(-1);
    });
    QCOMPARE(window.exec(), int(QDialog::Rejected));
    QCOMPARE(program.capture.commands, QStringList{"WebcamOptions"});
    QVERIFY(!program.window.isNull());
    QVERIFY(window.isVisible());
    QVERIFY(window.detached());
    QVERIFY(!window.isModal());

    // The close box ends it like Cancel.
    window.close();
    QTRY_VERIFY_WITH_TIMEOUT(program.window.isNull(), 5000);
    QCOMPARE(program.file(), baseline);
}

QTEST_MAIN(TestProgramOptionsWindow)
#include "tst_options_window.moc"
