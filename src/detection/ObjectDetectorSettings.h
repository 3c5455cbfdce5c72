#pragma once

// The object detector's tunable values, with the defaults a new options.ini
// gets. Plain data: whoever stores them (the [Detector] keys) maps them one
// to one. Every value is an integer so the same settings give the same
// results on every machine.
namespace vigilux::detection {

struct ObjectDetectorSettings {
    // A pixel differs from the background when its difference passes
    // max(noiseFloor, deviationFactor / 10 * its learnt deviation): the
    // factor is the sensitivity (lower finds fainter objects), the floor
    // keeps a perfectly still picture from alarming on compression ripples.
    int deviationFactor = 40; // tenths, 20..100
    int noiseFloor = 10;      // luma levels, 2..80

    // The smallest object that may alarm, in hundredths of a percent of the
    // picture (20 = 0.2 %): a person at the far side of a room still counts.
    int minObjectHundredths = 20;

    // How long an object must be followed, and at least over how many
    // frames, before it alarms.
    int persistenceMs = 400;
    int persistenceFrames = 3;

    // Time constant of the background's learning, in seconds: how fast slow
    // light changes (clouds, sunset) and parked objects become background.
    int learnSeconds = 20;

    // After a change of the whole picture (a light switched), how long the
    // background is learnt again quickly, in milliseconds.
    int relearnMs = 3000;

    // Confirm each object as a person before it may alarm (slower).
    bool personOnly = false;
};

} // namespace vigilux::detection
