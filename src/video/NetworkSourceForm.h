#pragma once

#include "video/CaptureSource.h"

#include <QString>

namespace vigilux::video {

// The fields of "Сетевая камера" in the source dialog, without the widgets:
// what was typed, which fields apply to the address, what is wrong with it,
// and the source it makes. The dialog only copies its editors in and out.
struct NetworkSourceForm {
    static constexpr int DefaultSnapshotMs = 1000;
    static constexpr int MinSnapshotMs = 100;
    static constexpr int MaxSnapshotMs = 3600 * 1000;

    QString address;
    QString user;
    QString password;
    CaptureSource::Transport transport = CaptureSource::Transport::Tcp;
    int snapshotMs = DefaultSnapshotMs;

    // The network fields of `source` (kept whatever its kind).
    static NetworkSourceForm from(const video::CaptureSource& source);

    // RTSP lets the media travel over TCP or UDP; HTTP addresses may be
    // snapshot addresses, fetched every snapshotMs.
    bool transportApplies() const;
    bool snapshotApplies() const;

    // "" when the fields make a usable source; otherwise a Russian text.
    QString problem() const;

    // The network camera the fields describe. Credentials typed into the
    // address move into the user and password (the fields win when filled).
    video::CaptureSource source() const;

private:
    QString scheme() const;
};

} // namespace vigilux::video
