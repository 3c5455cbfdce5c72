#pragma once

#include "settings/NotifySettings.h"

#include <QString>

#include <array>

namespace vigilux::settings {

// Index into detectorValues / liveDetectorValues.
enum DetectorValue { IntervalValue = 0, NoiseValue = 1, similarityValue = 2 };

// The program-wide settings record: one field per key of options.ini, named
// as the key. Filled once at start-up; settings windows change it and save
// it; everything else reads it at the moment it needs a value.
struct Settings {
    // [Interface]
    bool startMinimized = false;
    bool startWatching = false;
    bool soundOnSave = true;
    QString saveSoundPath;
    bool blockScreenSaver = true;
    bool autoCheckUpdates = true;

    // [Files]
    QString savePath;
    bool createSubfolders = true;
    bool singleFile = false;
    QString singleFileName = QStringLiteral("frame");
    bool limitFiles = true;
    qint16 maxFileCount = 1000;

    // [Image]
    bool saveAsJpeg = true;
    bool imprintDate = false;
    qint16 jpegQuality = 75;
    bool syncPreviewRate = true;

    // [MotionDetector]
    bool saveOnAlarm = true;
    bool soundOnAlarm = false;
    QString alarmSoundPath;
    bool runOnAlarm = false;
    QString alarmProgramPath;
    bool waitForAlarmProgram = false;
    bool balloonOnAlarm = false;

    // [Sensor]: Timer (ms), Noise, Percent (motion share that alarms).
    std::array<qint32, 3> detectorValues{500, 5, 10};
    // The values in force in the detector while the detector window or the
    // calibration runs; never stored.
    std::array<qint32, 3> liveDetectorValues{500, 5, 10};

    // [FTP]; ftpPassword holds the plain password (the file holds it scrambled).
    bool ftpUpload = false;
    QString ftpServer;
    QString ftpFolder;
    QString ftpLogin;
    QString ftpPassword;

    // [HD]
    QString resolutionCandidates;

    // [Notify]
    NotifySettings notify;

    bool operator==(const Settings&) const = default;
};

} // namespace vigilux::settings
