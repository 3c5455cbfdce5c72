#pragma once

#include <QStringList>

namespace vigilux::app {

// What start-up and shutdown ask of the main window. The main window
// implements it; Lifecycle calls it in the fixed order, so a test can
// record that order with a fake.
class LifecycleHost {
public:
    virtual ~LifecycleHost() = default;

    // Start-up.
    virtual void hideMain() = 0;
    virtual void placeBorderLines() = 0;
    virtual void makeTopmost() = 0;
    virtual void createTray() = 0;
    virtual void showSplash() = 0;
    virtual void startCapture() = 0;
    virtual void setLabelTips(const QStringList& tips) = 0;
    virtual void installWindowProc() = 0;
    // Queues again the uploads a previous run left waiting (the settings
    // and their folder are known by now).
    virtual void restoreUploads() = 0;
    // Tells the user that options.ini lives in the fallback folder.
    virtual void showSettingsFolderNote(const QString& iniPath) = 0;

    // End of the splash.
    virtual void showMain() = 0;
    virtual void hideToTray() = 0;
    virtual void toggleWatching() = 0;
    virtual void armUpdateCheck() = 0;
    virtual void startBlackScreenCheck() = 0;

    // Shutdown.
    virtual void stopCapture() = 0;
    virtual void restoreWindowProc() = 0;
    virtual void unloadAll() = 0;
};

} // namespace vigilux::app
