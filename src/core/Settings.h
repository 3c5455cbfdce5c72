#pragma once

#include "core/NotifySettings.h"

#include <QString>

#include <array>

namespace vigilux::core {

// Index into detectorValues / liveDetectorValues.
enum DetectorValue { IntervalValue = 0, NoiseValue = 1, SimilarityValue = 2 };

// The program-wide settings record: one field per key of options.ini, grouped
// by the file's sections. core::SettingsTable pairs fields and keys and holds
// the defaults a new record starts with. Filled once at start-up; settings
// windows change it and save it; everything else reads it at the moment it
// needs a value.
struct Settings {
    Settings();

    // [Interface]
    bool startMinimized;
    bool startWatching;
    bool soundOnSave;
    QString saveSoundPath;
    bool blockScreenSaver;
    bool autoCheckUpdates;

    // [Files]
    QString savePath;
    bool createSubfolders;
    // Names from singleFileName instead of time stamps: numbered, or the one
    // fixed file when maxFileCount is 1.
    bool singleFile;
    QString singleFileName;
    bool limitFiles;
    qint16 maxFileCount;

    // [Image]
    bool saveAsJpeg;
    bool imprintDate;
    qint16 jpegQuality;
    bool syncPreviewRate;

    // [MotionDetector]
    bool saveOnAlarm;
    bool soundOnAlarm;
    QString alarmSoundPath;
    bool runOnAlarm;
    QString alarmProgramPath;
    bool waitForAlarmProgram;
    bool balloonOnAlarm;

    // [Events]: alarm steps grouped into motion events. An event ends once
    // no alarm step has come for eventGap seconds. Sound, balloon and program
    // may run once per event instead of on every step; eventFrames chooses
    // the saved frames: 0 every step, 1 the first eventFirstFrames steps then
    // one every eventFrameInterval seconds, 2 only the largest change.
    qint32 eventGap;
    bool soundPerEvent;
    bool balloonPerEvent;
    bool programPerEvent;
    qint32 eventFrames;
    qint32 eventFirstFrames;
    qint32 eventFrameInterval;

    // [Sensor]: Timer (ms), Noise, Percent (motion share that alarms).
    std::array<qint32, 3> detectorValues;
    // The values in force in the detector while the detector window or the
    // calibration runs; never stored (they start as the stored ones).
    std::array<qint32, 3> liveDetectorValues;

    // [Events], clips: a video of every motion event from clipPreRoll seconds
    // before its first alarm step to clipPostRoll seconds after its last one
    // (by default the event gap, so the clip ends with the event), at most
    // clipFrameRate frames a second; a clip longer than maxClipMinutes is
    // closed and the next one started. uploadClips sends finished clips
    // through the FTP queue after the frames of their event.
    bool eventClips;
    qint32 clipPreRoll;
    qint32 clipPostRoll;
    qint32 clipFrameRate;
    qint32 maxClipMinutes;
    bool uploadClips;

    // [Detector]: which detector decides. The byte compare of [Sensor] (a
    // file that has [Sensor] values and no Kind keeps it) or the object
    // detector (what a new file gets), with the object detector's values:
    // sensitivity in tenths of the learnt noise (lower finds fainter
    // objects), the noise floor in luma levels, the smallest object in
    // hundredths of a percent of the picture, how long it must be followed
    // (ms), how fast the background learns (s), person-only, and the mask
    // picture beside options.ini (black: ignore).
    enum class DetectorKind { ByteCompare, Objects };
    DetectorKind detectorKind;
    qint32 objectSensitivity;
    qint32 objectNoiseFloor;
    qint32 objectMinSize;
    qint32 objectPersistence;
    qint32 objectLearnSeconds;
    bool objectPersonOnly;
    QString objectMask;
    // Draw the objects' boxes on saved pictures.
    bool objectBoxes;

    // [FTP]; ftpPassword holds the plain password (the file holds it scrambled).
    bool ftpUpload;
    QString ftpServer;
    QString ftpFolder;
    QString ftpLogin;
    QString ftpPassword;

    // [HD]
    QString resolutionCandidates;

    // [Remote]: the web page for a phone on the home network, off until the
    // user switches it on and sets a password. Only the password's Argon2id
    // hash is kept, never the password. Empty certificate and key: a
    // self-signed pair made in the settings folder.
    bool remoteOn;
    qint32 remotePort;
    QString remotePasswordHash;
    bool remoteLocalOnly;
    QString remoteCertificate;
    QString remoteKey;

    // [Notify]
    NotifySettings notify;

    bool operator==(const Settings&) const = default;
};

} // namespace vigilux::core
