#pragma once

#include "core/SettingsStorage.h"

#include <QString>

#include <memory>

namespace vigilux {
struct AppContext;
namespace platform {
class InstanceLock;
}
namespace settings {
class DetectorValuesTarget;
}
} // namespace vigilux

namespace vigilux::app {

class LifecycleHost;

// Start-up, end of the splash and shutdown of the main window, in their fixed
// order. It owns the single-instance lock and the settings storage; the
// window work goes through the LifecycleHost.
class Lifecycle final {
public:
    // `iniPath` is where options.ini lives (beside the executable, or the
    // user's configuration folder when that is not writable: `iniFellBack`).
    // `iniWarning`, when not empty, is shown once at start in a warning box
    // (the options.ini beside the program could not be used, and why).
    Lifecycle(AppContext& context, LifecycleHost& shell,
              core::DetectorValuesTarget& detectorValuesTarget, QString lockPath, QString iniPath,
              bool iniFellBack, QString iniWarning = QString());
    ~Lifecycle();
    Lifecycle(const Lifecycle&) = delete;
    Lifecycle& operator=(const Lifecycle&) = delete;

    // Start-up of the main window. Returns false when another instance runs:
    // the refusal has been shown and nothing else happened; the caller ends
    // the process.
    bool start();

    // The splash's one-shot timer has fired and the splash is gone.
    void splashEnded();

    // Shutdown of the main window (the exit command).
    void unload();

    core::SettingsStorage& options() { return m_options; }

    // The tool tips of the main window's label(0)..label(5).
    static QStringList labelTips();

private:
    AppContext& m_context;
    LifecycleHost& m_shell;
    core::SettingsStorage m_options;
    std::unique_ptr<platform::InstanceLock> m_lock;
    QString m_iniPath;
    bool m_iniFellBack;
    QString m_iniWarning;
};

// Closes open windows newest first, as the exit does. `count` tells how many
// windows are open, `unload(i)` asks window i (0 = oldest) to close. Stops at
// the first window that refuses.
class WindowStack {
public:
    virtual ~WindowStack() = default;
    virtual int count() const = 0;
    virtual void unload(int index) = 0;
};
void unloadAll(WindowStack& forms);

} // namespace vigilux::app
