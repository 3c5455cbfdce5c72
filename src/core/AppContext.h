#pragma once

#include "core/CalibrationPhase.h"
#include "core/IniFile.h"
#include "core/Settings.h"

#include <QString>

namespace vigilux::core {
class CalibrationTarget;
}
namespace vigilux::platform {
class Clock;
class Dialogs;
} // namespace vigilux::platform

namespace vigilux {

// The process-wide state: the settings store and record, the flags every
// window reads, and the platform services. main() creates one and passes it
// by reference; each test builds its own with fakes, so nothing is global.
struct AppContext {
    AppContext(platform::Clock& clock, platform::Dialogs& dialogs, QString programFolder);
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    platform::Clock& clock;
    platform::Dialogs& dialogs;

    // Folder of the executable, without a trailing separator; the default
    // sound files and picture folder live below it.
    const QString programFolder;
    // Folder holding sound/: the program folder, or the shared data folder
    // of an installed copy. Starts as programFolder.
    QString dataFolder;
    // Folder the program may write its own files to (options.ini,
    // version.tmp): the program folder, or the user's configuration folder
    // when that one is closed or the program is installed. Starts as
    // programFolder.
    QString settingsFolder;

    core::IniFile ini;
    core::Settings settings;

    bool watching = false;
    bool inTray = false;
    bool detectorWindowShown = false; // main window shows the detector window
    bool detectorWindowOpen = false;  // the detector window is open
    qint16 alarmCount = 0;            // alarms since watch mode was switched on
    core::CalibrationPhase calibrationPhase = core::CalibrationPhase::None;
    // The calibration window while it is open (it sets and clears this);
    // the main window forwards detector values to it.
    core::CalibrationTarget* calibration = nullptr;
};

} // namespace vigilux
