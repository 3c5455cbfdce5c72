#include "ui/MainWindowTray.h"

#include "app/AlarmActions.h"
#include "app/QuietTime.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "events/EventTracker.h"
#include "resources/Pictures.h"
#include "ui/EnabledMirror.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include <utility>

namespace vigilux::ui {

namespace {
const QString CrLf = QStringLiteral("\r\n");
}

MainWindowTray::MainWindowTray(AppContext& context, platform::TrayBackend& backend,
                               std::function<int()> shellVersion, app::QuietTime& quiet,
                               QWidget& window, core::StatusSink status)
    : m_context(context)
    , m_icon(backend, std::move(shellVersion))
    , m_quiet(quiet)
    , m_window(window)
    , m_status(std::move(status)) {
    m_icon.registerIcon(IdleIcon, resources::Pictures::programIcon());
    m_icon.registerIcon(WatchingIcon, resources::Pictures::icon(QStringLiteral("tray-alternate")));
    connect(&m_icon, &app::TrayIcon::activated, this, &MainWindowTray::onActivated);
}

void MainWindowTray::buildMenu(const MainWindowLayout& layout,
                               std::function<void(MainWindowLayout::Button)> command,
                               std::function<void()> showWindow) {
    using Button = MainWindowLayout::Button;
    m_showWindow = std::move(showWindow);
    const auto run = [command = std::move(command)](Button which) {
        return [command, which] { command(which); };
    };
    m_menu = new QMenu(&m_window);
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    m_openAction =
        m_menu->addAction(QStringLiteral("Открыть программу"), this, &MainWindowTray::showWindow);
    m_menu->addSeparator();
    m_snapshotAction =
        m_menu->addAction(QStringLiteral("Сделать снимок"), this, run(Button::Snapshot));
    m_watchAction = m_menu->addAction(QStringLiteral("Автосъемка вкл"), this, run(Button::Watch));
    m_detectorAction = m_menu->addAction(QStringLiteral("Настройки детектора"), this,
                                         run(Button::DetectorSettings));
    m_optionsAction =
        m_menu->addAction(QStringLiteral("Настройки программы"), this, run(Button::ProgramOptions));
    // Each item is greyed exactly when its button is.
    new EnabledMirror(layout.button(Button::Snapshot), *m_snapshotAction);
    new EnabledMirror(layout.button(Button::Watch), *m_watchAction);
    new EnabledMirror(layout.button(Button::DetectorSettings), *m_detectorAction);
    new EnabledMirror(layout.button(Button::ProgramOptions), *m_optionsAction);
    m_menu->addSeparator();
    // The quiet time silences sound, balloon and program; watching goes on.
    m_muteActions[0] = m_menu->addAction(QStringLiteral("Без оповещений 15 минут"), this, [this] {
        m_quiet.mute(app::ActionMute::Span::Minutes15);
    });
    m_muteActions[1] = m_menu->addAction(QStringLiteral("Без оповещений 1 час"), this,
                                         [this] { m_quiet.mute(app::ActionMute::Span::Hour); });
    m_muteActions[2] = m_menu->addAction(QStringLiteral("Без оповещений до отмены"), this, [this] {
        m_quiet.mute(app::ActionMute::Span::UntilUnmuted);
    });
    m_muteActions[3] = m_menu->addAction(QStringLiteral("Включить оповещения"), this,
                                         [this] { m_quiet.unmute(); });
    m_muteActions[3]->setEnabled(false);
    m_menu->addSeparator();
    m_exitAction = m_menu->addAction(QStringLiteral("Выход"), this, run(Button::Exit));
    connect(&m_quiet, &app::QuietTime::changed, this, &MainWindowTray::onQuietTimeChanged);
}

void MainWindowTray::follow(const events::EventTracker& tracker) {
    m_tracker = &tracker;
    connect(&tracker, &events::EventTracker::eventStarted, this, &MainWindowTray::refreshTip);
}

void MainWindowTray::hideWindow() {
    if (!m_context.inTray) {
        // Without a notification area the window would be lost: stay.
        if (!m_icon.isAvailable()) {
            m_status(QStringLiteral(" Область уведомлений недоступна: окно не скрыто"));
            return;
        }
        if (m_icon.ownerHandle() == 0)
            m_icon.setOwnerHandle(1);
        m_icon.setIcon(IdleIcon);
        m_icon.setToolTipText(QStringLiteral("Vigilux"));
        m_eventTip = false;
        refreshTip();
        m_icon.add();
        m_context.inTray = true;
        // The window stays alive (capture and timers run); it only leaves
        // the screen and the task bar.
        m_window.hide();
    }
    if (m_context.ini.read(QStringLiteral("FirstRun"), QString()).isEmpty()) {
        m_context.ini.write(QStringLiteral("False"), QStringLiteral("FirstRun"), QString());
        m_icon.showBalloon(QStringLiteral("Vigilux"),
                           QStringLiteral("Управление программой:") + CrLf +
                               QStringLiteral("Левая кнопка мыши - показать программу,") + CrLf +
                               QStringLiteral("Правая кнопка мыши - меню программы"),
                           1);
    }
}

void MainWindowTray::showWindow() {
    if (!m_context.inTray)
        return;
    m_icon.remove();
    m_context.inTray = false;
    if (m_showWindow)
        m_showWindow();
}

void MainWindowTray::refreshTip() {
    const int events = m_context.watching && m_tracker != nullptr ? m_tracker->eventCount() : 0;
    const QString until = m_quiet.state().untilText();
    const bool eventTip = events > 0 || !until.isEmpty();
    // Without events or quiet time the tip stays what watch mode made it.
    if (!eventTip && !m_eventTip)
        return;
    m_eventTip = eventTip;
    m_icon.setToolTipText(app::AlarmActions::trayTip(m_context.watching, events, until));
    m_icon.modify();
}

void MainWindowTray::onQuietTimeChanged() {
    m_muteActions[3]->setEnabled(m_quiet.isMuted());
    m_status(m_quiet.statusText());
    refreshTip();
}

void MainWindowTray::onActivated(qint16 button) {
    if (button == 1)
        showWindow();
    else if (button == 5)
        m_icon.popupMenu(m_menu, m_openAction);
}

} // namespace vigilux::ui
