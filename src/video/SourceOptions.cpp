#include "video/SourceOptions.h"

#include "core/IniFile.h"
#include "core/NotifyOptions.h"
#include "platform/Keyring.h"
#include "platform/RegularFile.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace vigilux::video {

namespace {

const QString SourceKey = QStringLiteral("Source");
const QString SecretsKey = QStringLiteral("Secrets");
const QString PassKey = QStringLiteral("Pass");
const QString InKeyring = QStringLiteral("keyring");
const QString InIni = QStringLiteral("ini");

// A scrambled password grows about sevenfold, past what one value of the
// file holds, so it is spread over "Pass", "Pass2", ...
constexpr int ChunkLength = 240;
constexpr int MaxChunks = 8;

QString chunkKey(int index) {
    return index == 0 ? PassKey : PassKey + QString::number(index + 1);
}

QString kindName(CaptureSource::Kind kind) {
    switch (kind) {
    case CaptureSource::Kind::Camera:
        return QStringLiteral("camera");
    case CaptureSource::Kind::VideoFile:
        return QStringLiteral("file");
    case CaptureSource::Kind::Demo:
        return QStringLiteral("demo");
    case CaptureSource::Kind::Network:
        break;
    }
    return QStringLiteral("network");
}

} // namespace

const QString SourceOptions::CaptureSection = QStringLiteral("Capture");
const QString SourceOptions::NetworkSection = QStringLiteral("Network");
const QString SourceOptions::PasswordKey = QStringLiteral("CameraPassword");

SourceOptions::SourceOptions(core::IniFile& ini, platform::Keyring* keyring, QObject* parent)
    : QObject(parent)
    , m_ini(ini)
    , m_keyring(keyring) {}

SourceOptions::~SourceOptions() = default;

bool SourceOptions::hasStoredSource() const {
    return !m_ini.read(SourceKey, CaptureSection).trimmed().isEmpty();
}

CaptureSource SourceOptions::readWithoutPassword() const {
    const QString kind = m_ini.read(SourceKey, CaptureSection).trimmed().toLower();
    CaptureSource s = CaptureSource::camera(0);
    if (kind == QLatin1String("file"))
        s = CaptureSource::videoFile(m_ini.read(QStringLiteral("VideoFile"), CaptureSection));
    else if (kind == QLatin1String("demo"))
        s = CaptureSource::demo();
    else if (kind == QLatin1String("network"))
        s.kind = CaptureSource::Kind::Network;
    bool ok = false;
    const int camera = m_ini.read(QStringLiteral("Camera"), CaptureSection).toInt(&ok);
    if (ok && camera >= 0)
        s.index = camera;
    // A file without a video file to play falls back to the first camera.
    if (s.kind == CaptureSource::Kind::VideoFile && s.path.isEmpty())
        s = CaptureSource::camera(s.index);

    const QString url = m_ini.read(QStringLiteral("Url"), NetworkSection).trimmed();
    if (!url.isEmpty()) {
        // Credentials a hand-edited address carries move into the fields.
        const CaptureSource net =
            CaptureSource::network(url, m_ini.read(QStringLiteral("User"), NetworkSection));
        s.address = net.address;
        s.user = net.user;
        s.password = net.password;
    }
    s.transport = m_ini.read(QStringLiteral("Transport"), NetworkSection).trimmed().toLower() ==
                          QLatin1String("udp")
                      ? CaptureSource::Transport::Udp
                      : CaptureSource::Transport::Tcp;
    const int ms = m_ini.read(QStringLiteral("SnapshotMs"), NetworkSection).toInt(&ok);
    s.snapshotIntervalMs = ok ? std::clamp(ms, 0, 3600 * 1000) : 0;
    if (s.kind == CaptureSource::Kind::Network && !CaptureSource::isNetworkAddress(s.address))
        s.kind = CaptureSource::Kind::Camera; // nothing usable to watch
    return s;
}

QString SourceOptions::readPasswordFromIni() const {
    QString stored;
    for (int i = 0; i < MaxChunks; ++i) {
        const QString chunk = m_ini.read(chunkKey(i), NetworkSection);
        if (chunk.isEmpty())
            break;
        stored += chunk;
    }
    return stored.isEmpty() ? QString() : core::NotifyOptions::unscramble(stored);
}

void SourceOptions::writePasswordToIni(const QString& password) {
    const QString stored = password.isEmpty() ? QString() : core::NotifyOptions::scramble(password);
    int i = 0;
    for (; i * ChunkLength < stored.size() && i < MaxChunks; ++i)
        m_ini.write(stored.mid(i * ChunkLength, ChunkLength), chunkKey(i), NetworkSection);
    if (i == 0 && !m_ini.read(chunkKey(0), NetworkSection).isEmpty())
        m_ini.write(QString(), chunkKey(i++), NetworkSection);
    // A longer password of before must not leave its tail behind.
    for (; i < MaxChunks && !m_ini.read(chunkKey(i), NetworkSection).isEmpty(); ++i)
        m_ini.write(QString(), chunkKey(i), NetworkSection);
    if (!password.isEmpty())
        platform::RegularFile::makePrivate(m_ini.fileName());
}

void SourceOptions::load() {
    const quint64 generation = ++m_generation;
    CaptureSource s = readWithoutPassword();
    const bool inKeyring = m_ini.read(SecretsKey, NetworkSection) == InKeyring;
    if (!inKeyring) {
        if (s.password.isEmpty())
            s.password = readPasswordFromIni();
        QTimer::singleShot(0, this, [this, generation, s] {
            if (generation == m_generation)
                emit loaded(s, QString());
        });
        return;
    }
    if (!m_keyring) {
        QTimer::singleShot(0, this, [this, generation, s] {
            if (generation == m_generation)
                emit loaded(
                    s, QStringLiteral("Хранилище паролей недоступно: пароль камеры не загружен"));
        });
        return;
    }
    QPointer<SourceOptions> self(this);
    m_keyring->read(PasswordKey, [self, generation, s](bool ok, const QString& value) mutable {
        if (!self || generation != self->m_generation)
            return;
        if (ok)
            s.password = value;
        emit self->loaded(s, ok ? QString()
                                : QStringLiteral("Не удалось прочитать пароль камеры из "
                                                 "хранилища паролей"));
    });
}

void SourceOptions::save(const CaptureSource& source) {
    const quint64 generation = ++m_generation;
    m_ini.write(kindName(source.kind), SourceKey, CaptureSection);
    if (source.kind == CaptureSource::Kind::Camera)
        m_ini.write(QString::number(source.index), QStringLiteral("Camera"), CaptureSection);
    if (source.kind == CaptureSource::Kind::VideoFile)
        m_ini.write(source.path, QStringLiteral("VideoFile"), CaptureSection);
    if (source.kind != CaptureSource::Kind::Network) {
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation)
                emit saved(m_ini.read(SecretsKey, NetworkSection) == InKeyring);
        });
        return;
    }
    // The address is written without credentials, whatever was typed.
    const CaptureSource clean =
        CaptureSource::network(source.address, source.user, source.password);
    m_ini.write(clean.address, QStringLiteral("Url"), NetworkSection);
    m_ini.write(clean.user, QStringLiteral("User"), NetworkSection);
    m_ini.write(source.transport == CaptureSource::Transport::Udp ? QStringLiteral("udp")
                                                                  : QStringLiteral("tcp"),
                QStringLiteral("Transport"), NetworkSection);
    m_ini.write(QString::number(source.snapshotIntervalMs), QStringLiteral("SnapshotMs"),
                NetworkSection);
    const QString password = clean.password;
    if (!m_keyring) {
        finishSave(password, false);
        return;
    }
    QPointer<SourceOptions> self(this);
    m_keyring->write(PasswordKey, password, [self, generation, password](bool ok) {
        if (self && generation == self->m_generation)
            self->finishSave(password, ok);
    });
}

void SourceOptions::finishSave(const QString& password, bool inKeyring) {
    // The file says where the password is only once it is there, and a copy
    // in the file is wiped only once the keyring holds it.
    writePasswordToIni(inKeyring ? QString() : password);
    m_ini.write(inKeyring ? InKeyring : InIni, SecretsKey, NetworkSection);
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, inKeyring] {
        if (generation == m_generation)
            emit saved(inKeyring);
    });
}

} // namespace vigilux::video
