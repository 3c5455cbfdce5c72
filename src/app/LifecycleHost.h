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
    virtual void WebcamStart() = 0;
    virtual void setLabelTips(const QStringList& tips) = 0;
    virtual void installWindowProc() = 0;
    // Tells the user that options.ini lives in the fallback folder.
    virtual void showSettingsFolderNote(const QString& iniPath) = 0;

    // End of the splash.
    virtual void showMain() = 0;
    virtual void MeHide() = 0;
    virtual void StartAuto() = 0;
    virtual void armUpdateCheck() = 0;
    virtual void BScheck() = 0;

    // Shutdown.
    virtual void WebcamStop() = 0;
    virtual void restoreWindowProc() = 0;
    virtual void UnLoadAll() = 0;
};

} // namespace vigilux::app
