#include "app/Lifecycle.h"

#include "app/LifecycleHost.h"
#include "core/AppContext.h"
#include "platform/Dialogs.h"
#include "platform/InstanceLock.h"

#include <algorithm>
#include <utility>

namespace vigilux::app {

Lifecycle::Lifecycle(AppContext& context, LifecycleHost& shell,
                     core::DetectorValuesTarget& detectorValuesTarget, QString lockPath,
                     QString iniPath, bool iniFellBack, QString iniWarning)
    : m_context(context)
    , m_shell(shell)
    , m_options(context, detectorValuesTarget)
    , m_lock(std::make_unique<platform::InstanceLock>(lockPath))
    , m_iniPath(std::move(iniPath))
    , m_iniFellBack(iniFellBack)
    , m_iniWarning(std::move(iniWarning)) {}

Lifecycle::~Lifecycle() = default;

QStringList Lifecycle::labelTips() {
    return {QStringLiteral("Производительность компьютера (кадр/сек)"),
            QStringLiteral("Предпросмотр (мсек)"),
            QStringLiteral("Разрешение сохраняемых изображений"),
            QStringLiteral("Значение детектора движения"),
            QStringLiteral("Порог срабатывания"),
            QStringLiteral("Количество срабатываний детектора движения")};
}

bool Lifecycle::start() {
    m_shell.hideMain();
    if (!m_lock->tryAcquire()) {
        // The running copy is neither contacted nor touched, and no setting
        // is read or written.
        m_context.dialogs.message(platform::Dialogs::Icon::Error, QStringLiteral("Vigilux"),
                                  QStringLiteral("Программа уже запущена!"));
        return false;
    }
    m_shell.placeBorderLines();
    m_shell.makeTopmost();
    m_context.ini.setFileName(m_iniPath);
    m_shell.createTray();
    // Pushes the detector values through setDetectorValue before capture starts.
    m_options.load();
    m_shell.showSplash();
    m_shell.startCapture();
    m_shell.setLabelTips(labelTips());
    m_shell.installWindowProc();
    m_shell.restoreUploads();
    if (!m_iniWarning.isEmpty())
        m_context.dialogs.message(platform::Dialogs::Icon::Warning, QStringLiteral("Внимание!"),
                                  m_iniWarning);
    else if (m_iniFellBack)
        m_shell.showSettingsFolderNote(m_iniPath);
    return true;
}

void Lifecycle::splashEnded() {
    // The window goes to the tray before watch mode starts, so watch mode's
    // tray tip lands on the icon that hiding created; the update check is
    // armed even when the window is in the tray.
    m_shell.showMain();
    if (m_context.settings.startMinimized)
        m_shell.hideToTray();
    if (m_context.settings.startWatching)
        m_shell.toggleWatching();
    m_shell.armUpdateCheck();
    m_shell.startBlackScreenCheck();
}

void Lifecycle::unload() {
    // Settings are not written here: each window writes its keys on OK.
    m_shell.stopCapture();
    m_shell.restoreWindowProc();
    m_shell.unloadAll();
}

void unloadAll(WindowStack& forms) {
    int i = forms.count() - 1;
    while (i >= 0) {
        forms.unload(i);
        if (forms.count() == i + 1)
            return; // that window refused to close
        // A window may take others with it when it closes.
        i = std::min(i - 1, forms.count() - 1);
    }
}

} // namespace vigilux::app
