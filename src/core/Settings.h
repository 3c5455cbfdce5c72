#pragma once

#include "core/NotifySettings.h"

#include <QString>

#include <array>

namespace vigilux::core {

// Index into detectorValues / liveDetectorValues.
enum DetectorValue { IntervalValue = 0, NoiseValue = 1, SimilarityValue = 2 };

// The program-wide settings record: one field per key of options.ini, grouped
// by the file's sections (core::SettingsStorage pairs fields and keys).
// Filled once at start-up; settings windows change it and save it;
// everything else reads it at the moment it needs a value.
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
    // Names from singleFileName instead of time stamps: numbered, or the one
    // fixed file when maxFileCount is 1.
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

    // [Events]: alarm steps grouped into motion events. An event ends once
    // no alarm step has come for eventGap seconds. Sound, balloon and program
    // may run once per event instead of on every step; eventFrames chooses
    // the saved frames: 0 every step, 1 the first eventFirstFrames steps then
    // one every eventFrameInterval seconds, 2 only the largest change.
    qint32 eventGap = 10;
    bool soundPerEvent = false;
    bool balloonPerEvent = false;
    bool programPerEvent = false;
    qint32 eventFrames = 0;
    qint32 eventFirstFrames = 3;
    qint32 eventFrameInterval = 5;

    // [Sensor]: Timer (ms), Noise, Percent (motion share that alarms).
    std::array<qint32, 3> detectorValues{500, 5, 10};
    // The values in force in the detector while the detector window or the
    // calibration runs; never stored.
    std::array<qint32, 3> liveDetectorValues{500, 5, 10};

    // [Events], clips: a video of every motion event from clipPreRoll seconds
    // before its first alarm step to clipPostRoll seconds after its last one
    // (by default the event gap, so the clip ends with the event), at most
    // clipFrameRate frames a second; a clip longer than maxClipMinutes is
    // closed and the next one started. uploadClips sends finished clips
    // through the FTP queue after the frames of their event.
    bool eventClips = false;
    qint32 clipPreRoll = 2;
    qint32 clipPostRoll = 10;
    qint32 clipFrameRate = 10;
    qint32 maxClipMinutes = 10;
    bool uploadClips = false;

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

} // namespace vigilux::core
