#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "ui/ResolutionWindow.h"

#include "FakeCaptureCommands.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vigilux;
using vigilux::controls::PushButton;
using vigilux::ui::ResolutionWindow;
using ResCall = vigilux::test::FakeCaptureCommands::ResCall;

namespace {

const QString NoList = QStringLiteral("Ваша веб-камера не поддерживает разрешений свыше "
                                      "стандартного, либо автодетектирование еще не проводилось");

// A program whose options file lives in a temporary folder, with the
// resolution window opened on it.
struct Program {
    explicit Program(const QByteArray& file = QByteArray())
        : context(clock, dialogs, dir.path()) {
        if (!file.isNull()) {
            QFile f(context.ini.fileName());
            if (f.open(QIODevice::WriteOnly))
                f.write(file);
        }
        context.settings.resolutionCandidates = core::SettingsStorage::DefaultResolutions;
    }

    ResolutionWindow& open() {
        window = std::make_unique<ResolutionWindow>(context, capture);
        window->show();
        return *window;
    }

    QString stored(const char* key) {
        return context.ini.read(QLatin1String(key), QStringLiteral("HD"));
    }
    QLabel* label(int i) const {
        return window->findChild<QLabel*>(QStringLiteral("Label%1").arg(i));
    }
    QComboBox* list() const {
        return window->findChild<QComboBox*>(QStringLiteral("resolutionList"));
    }
    PushButton* button(int i) const {
        return window->findChild<PushButton*>(QStringLiteral("button%1").arg(i));
    }
    void click(int i) { QTest::mouseClick(button(i), Qt::LeftButton, {}, QPoint(4, 4)); }
    QStringList items() const {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts << list()->itemText(i);
        return texts;
    }

    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context;
    test::FakeCaptureCommands capture;
    std::unique_ptr<ResolutionWindow> window;
};

} // namespace

class TestResolutionWindow : public QObject {
    Q_OBJECT

private slots:
    void texts();
    void restore_data();
    void restore();
    void probeFindsOne();
    void probeFindsDuplicate();
    void probeFindsNone();
    void probeShowsProgressWhileDriverRuns();
    void probeWithoutCandidatesUsesDefaults();
    void okAppliesSelection();
    void cancelAppliesNothing();
};

void TestResolutionWindow::texts() {
    Program program;
    ResolutionWindow& window = program.open();
    QCOMPARE(window.windowTitle(), QStringLiteral("Поддержка HD-разрешения"));
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(program.label(1)->text(),
             QStringLiteral("Стандартная библиотека Windows для работы с изображениями не "
                            "поддерживает разрешения свыше стандартных 640х480. Вы можете "
                            "попытаться установить более высокое разрешение, если ваша "
                            "веб-камера поддерживает HD-разрешение и в системе установлены "
                            "соответствующие драйверы."));
    QCOMPARE(program.label(2)->text(),
             QStringLiteral("Подождите, идет поиск поддерживаемых разрешений"));
    QCOMPARE(program.label(4)->text(), NoList);
    QCOMPARE(program.button(0)->caption(), QStringLiteral("OK"));
    QCOMPARE(program.button(1)->caption(), QStringLiteral("Отмена"));
    QCOMPARE(program.button(2)->caption(), QStringLiteral("Автодетект разрешений"));
    QVERIFY(!program.label(2)->isVisible());
    QVERIFY(!program.label(3)->isVisible());

    // Hidden to the tray, the main window leaves other windows where they are.
    Program tray;
    tray.context.inTray = true;
    QVERIFY(!(tray.open().windowFlags() & Qt::WindowStaysOnTopHint));
}

void TestResolutionWindow::restore_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("no file") << QByteArray() << QStringList();
    QTest::newRow("stored list") << QByteArray("[HD]\nHDsupport=True\nMyHD=1280,720,1600,1200\n")
                                 << QStringList{"1280 x 720", "1600 x 1200"};
    QTest::newRow("key read in any case")
        << QByteArray("[hd]\nhdsupport=True\nmyhd=800,600\n") << QStringList{"800 x 600"};
    QTest::newRow("last probe found none")
        << QByteArray("[HD]\nHDsupport=False\nMyHD=1280,720\n") << QStringList();
    QTest::newRow("support not exactly True")
        << QByteArray("[HD]\nHDsupport=true\nMyHD=1280,720\n") << QStringList();
    QTest::newRow("single number")
        << QByteArray("[HD]\nHDsupport=True\nMyHD=1280\n") << QStringList();
    QTest::newRow("empty list") << QByteArray("[HD]\nHDsupport=True\nMyHD=\n") << QStringList();
    QTest::newRow("broken pair skipped")
        << QByteArray("[HD]\nHDsupport=True\nMyHD=99999,720,1024,768,640\n")
        << QStringList{"1024 x 768"};
}

void TestResolutionWindow::restore() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, items);
    Program program(file);
    ResolutionWindow& window = program.open();

    const bool hasList = !items.isEmpty();
    QCOMPARE(window.hasList(), hasList);
    QCOMPARE(program.items(), items);
    QCOMPARE(program.list()->isVisible(), hasList);
    QCOMPARE(program.label(4)->isVisible(), !hasList);
    if (hasList)
        QCOMPARE(program.list()->currentIndex(), 0);
    QVERIFY(program.capture.resCalls.isEmpty());
}

void TestResolutionWindow::probeFindsOne() {
    Program program;
    program.capture.accepted = {QStringLiteral("1280x720")};
    ResolutionWindow& window = program.open();
    program.click(2);

    QCOMPARE(program.capture.resCalls.size(), 19);
    QCOMPARE(program.items(), QStringList{"1280 x 720"});
    QVERIFY(window.hasList());
    QVERIFY(program.list()->isVisible());
    QVERIFY(program.list()->isEnabled());
    QVERIFY(!program.label(4)->isVisible());
    QVERIFY(!program.label(2)->isVisible());
    QCOMPARE(program.label(3)->text(), QStringLiteral("Найдено 0 поддерживаемых HD-режимов."));
    QCOMPARE(program.stored("HDsupport"), QStringLiteral("True"));
    QCOMPARE(program.stored("MyHD"), QStringLiteral("1280,720"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(program.button(i)->enabledCtrl());

    // The next opening shows the stored list without asking the device.
    program.window.reset();
    program.capture.resCalls.clear();
    program.open();
    QCOMPARE(program.items(), QStringList{"1280 x 720"});
    QCOMPARE(program.list()->currentIndex(), 0);
    QVERIFY(program.capture.resCalls.isEmpty());
}

void TestResolutionWindow::probeFindsDuplicate() {
    Program program;
    program.capture.accepted = {QStringLiteral("1280x960"), QStringLiteral("4000x3000")};
    program.open();
    program.click(2);
    QCOMPARE(program.items(), (QStringList{"1280 x 960", "1280 x 960", "4000 x 3000"}));
    QCOMPARE(program.stored("MyHD"), QStringLiteral("1280,960,1280,960,4000,3000"));
    QCOMPARE(program.label(3)->text(), QStringLiteral("Найдено 2 поддерживаемых HD-режимов."));
}

void TestResolutionWindow::probeFindsNone() {
    // A list from an earlier probe stays in the file.
    Program program("[HD]\nHDsupport=True\nMyHD=1280,720\n");
    ResolutionWindow& window = program.open();
    QVERIFY(window.hasList());
    program.click(2);

    QVERIFY(!window.hasList());
    QVERIFY(!program.list()->isVisible());
    QVERIFY(!program.label(4)->isVisible());
    QCOMPARE(program.label(3)->text(), QStringLiteral("Поддерживаемых HD-режимов не найдено."));
    QCOMPARE(program.stored("HDsupport"), QStringLiteral("False"));
    QCOMPARE(program.stored("MyHD"), QStringLiteral("1280,720"));

    // OK without a list leaves the device alone.
    program.capture.resCalls.clear();
    program.click(0);
    QVERIFY(program.capture.resCalls.isEmpty());
    QCOMPARE(window.result(), int(QDialog::Accepted));
}

void TestResolutionWindow::probeShowsProgressWhileDriverRuns() {
    Program program;
    program.context.settings.resolutionCandidates = QStringLiteral("800,600,1280,720,1600");
    program.open();
    QStringList seen;
    program.capture.duringSetRes = [&] {
        QStringList state{program.label(3)->text()};
        state << (program.label(2)->isVisible() ? "waiting" : "-");
        state << (program.list()->isEnabled() ? "list" : "-");
        for (int i = 0; i < 3; ++i)
            state << (program.button(i)->enabledCtrl() ? "on" : "off");
        // Closing is refused until the probe is over.
        program.window->close();
        state << (program.window->isVisible() ? "open" : "closed");
        seen << state.join(QLatin1Char('|'));
    };
    program.click(2);
    QCOMPARE(seen, (QStringList{
                       "Разрешение 0 из 2 (ширина 800px, высота 600px)|waiting|-|off|off|off|open",
                       "Разрешение 1 из 2 (ширина 1280px, высота 720px)|waiting|-|off|off|off|open",
                   }));
    program.window->close();
    QVERIFY(!program.window->isVisible());
}

void TestResolutionWindow::probeWithoutCandidatesUsesDefaults() {
    Program program;
    program.context.settings.resolutionCandidates.clear();
    program.open();
    program.click(2);
    QCOMPARE(program.capture.resCalls.size(), 19);
    QCOMPARE(program.context.settings.resolutionCandidates,
             core::SettingsStorage::DefaultResolutions);
    // Only the two result keys are written.
    QCOMPARE(program.stored("DefHD"), QString());
}

void TestResolutionWindow::okAppliesSelection() {
    Program program("[HD]\nHDsupport=True\nMyHD=1280,720,1600,1200,800,600\n");
    ResolutionWindow& window = program.open();
    program.list()->setCurrentIndex(1);
    program.click(0);
    QCOMPARE(program.capture.resCalls, (QList<ResCall>{{1600, 1200, false}}));
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(!window.isVisible());
}

void TestResolutionWindow::cancelAppliesNothing() {
    Program program("[HD]\nHDsupport=True\nMyHD=1280,720\n");
    ResolutionWindow& window = program.open();
    program.click(1);
    QVERIFY(program.capture.resCalls.isEmpty());
    QCOMPARE(window.result(), int(QDialog::Rejected));
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestResolutionWindow)
#include "tst_resolution_window.moc"
