#pragma once

#include "settings/NotifySettings.h"

#include <QString>

#include <array>

namespace vigilux::settings {

// Index into SensorValues / LiveSensorValues.
enum SensorIndex { SensorTimer = 0, SensorNoise = 1, SensorPercent = 2 };

// The program-wide settings record: one field per key of options.ini, named
// as the key. Filled once at start-up; settings windows change it and save
// it; everything else reads it at the moment it needs a value.
struct Settings {
    // [Interface]
    bool MinStart = false;
    bool AutoStart = false;
    bool SoundPlayer = true;
    QString SoundPath;
    bool BlockSSaver = true;
    bool AutoCheckUpdates = true;

    // [Files]
    QString SavePath;
    bool CreateSubFolders = true;
    bool StaticFile = false;
    QString StaticFilePath = QStringLiteral("frame");
    bool MaxFiles = true;
    qint16 MaxFilesCount = 1000;

    // [Image]
    bool Convert2JPG = true;
    bool InPrintDate = false;
    qint16 JPGq = 75;
    bool SyncPreRate = true;

    // [MotionDetector]
    bool SaveAlarm = true;
    bool SoundAlarm = false;
    QString SoundAlarmPath;
    bool RunAlarm = false;
    QString RunAlarmPath;
    bool RunAlarmWait = false;
    bool SysTrayAlarm = false;

    // [Sensor]: Timer (ms), Noise, Percent (motion share that alarms).
    std::array<qint32, 3> SensorValues{500, 5, 10};
    // The values in force in the detector while the detector window or the
    // calibration runs; never stored.
    std::array<qint32, 3> LiveSensorValues{500, 5, 10};

    // [FTP]; FtpPass holds the plain password (the file holds it scrambled).
    bool FtpUpload = false;
    QString FtpServer;
    QString FtpFolder;
    QString FtpLogin;
    QString FtpPass;

    // [HD]
    QString DefHD;

    // [Notify]
    NotifySettings notify;

    bool operator==(const Settings&) const = default;
};

} // namespace vigilux::settings
