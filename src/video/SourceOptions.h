#pragma once

#include "video/CaptureSource.h"

#include <QObject>
#include <QString>

namespace vigilux::core {
class IniFile;
}
namespace vigilux::platform {
class Keyring;
}

namespace vigilux::video {

// Loads and saves the capture source the user chose in the source dialog:
// its kind in [Capture] (Source, Camera, VideoFile) and a network camera in
// [Network] (Url, User, Transport, SnapshotMs). The address is stored
// without credentials. The camera's password goes to the desktop keyring
// when there is one; otherwise (or when it fails) it is written scrambled
// into [Network] Pass, obfuscation rather than encryption, and the key
// "Secrets" says which of the two holds it. The password never appears in
// any text this class produces.
//
// The network fields are kept whatever the kind, so switching to a local
// camera and back finds the address again.
//
// Keyring answers come later, so both operations finish with a signal
// raised after the call has returned. UI thread only; `ini` and `keyring`
// (null: none) must outlive the object.
class SourceOptions final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SourceOptions)
public:
    static const QString CaptureSection; // "Capture"
    static const QString NetworkSection; // "Network"
    static const QString PasswordKey;    // the keyring's name for the password

    SourceOptions(core::IniFile& ini, platform::Keyring* keyring, QObject* parent = nullptr);
    ~SourceOptions() override;

    // True when options.ini names a source (a file without [Capture] Source
    // leaves the choice to the program's default).
    bool hasStoredSource() const;
    // Reads the stored source; `loaded` follows with the password.
    void load();
    // Writes the source; `saved` follows once the password is stored.
    void save(const video::CaptureSource& source);

signals:
    // `problem` is "" or a Russian text for the status line.
    void loaded(const video::CaptureSource& source, const QString& problem);
    void saved(bool inKeyring);

private:
    video::CaptureSource readWithoutPassword() const;
    QString readPasswordFromIni() const;
    void writePasswordToIni(const QString& password);
    void finishSave(const QString& password, bool inKeyring);

    core::IniFile& m_ini;
    platform::Keyring* m_keyring;
    quint64 m_generation = 0; // answers of a superseded load or save are ignored
};

} // namespace vigilux::video
