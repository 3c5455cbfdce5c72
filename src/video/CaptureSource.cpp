#include "video/CaptureSource.h"

#include <QUrl>
#include <QUrlQuery>

#include <cstring>

namespace vigilux::video {

CaptureSource CaptureSource::camera(int index) {
    CaptureSource s;
    s.kind = Kind::Camera;
    s.index = index;
    return s;
}

CaptureSource CaptureSource::videoFile(const QString& path) {
    CaptureSource s;
    s.kind = Kind::VideoFile;
    s.path = path;
    return s;
}

CaptureSource CaptureSource::demo() {
    CaptureSource s;
    s.kind = Kind::Demo;
    return s;
}

CaptureSource CaptureSource::network(const QString& address, const QString& user,
                                     const QString& password) {
    CaptureSource s;
    s.kind = Kind::Network;
    QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid())
        url = QUrl(address.trimmed(), QUrl::TolerantMode);
    s.user = user.isEmpty() ? url.userName() : user;
    s.password = password.isEmpty() ? url.password() : password;
    url.setUserInfo({});
    s.address = url.toString(QUrl::FullyEncoded);
    return s;
}

bool CaptureSource::isNetworkAddress(const QString& address) {
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("rtsp") || scheme == QLatin1String("rtsps") ||
            scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

QString CaptureSource::maskedAddress() const {
    QUrl url(address);
    if (!url.isValid())
        return QStringLiteral("***"); // cannot tell where a password might be in it
    const QString name = user.isEmpty() ? url.userName() : user;
    const bool secret = !password.isEmpty() || !url.password().isEmpty();
    url.setUserInfo({});
    if (!name.isEmpty())
        url.setUserName(name);
    if (secret)
        url.setPassword(QStringLiteral("***"));
    // Cheap cameras take the password in the query (…?user=admin&pwd=…).
    QUrlQuery query(url);
    bool changed = false;
    auto items = query.queryItems(QUrl::FullyEncoded);
    for (auto& [key, value] : items) {
        const QString k = key.toLower();
        if (k.contains(QLatin1String("pass")) || k.contains(QLatin1String("pwd")) ||
            k.contains(QLatin1String("token")) || k == QLatin1String("key") ||
            k == QLatin1String("auth")) {
            value = QStringLiteral("***");
            changed = true;
        }
    }
    if (changed) {
        query.setQueryItems(items);
        url.setQuery(query);
    }
    return url.toString(QUrl::PrettyDecoded);
}

QString CaptureSource::describe() const {
    switch (kind) {
    case Kind::Camera:
        return QStringLiteral("Камера %1").arg(index);
    case Kind::VideoFile:
        return QStringLiteral("Видеофайл %1").arg(path);
    case Kind::Demo:
        return QStringLiteral("Демонстрационная сцена");
    case Kind::Network:
        break;
    }
    return QStringLiteral("Сетевая камера %1").arg(maskedAddress());
}

std::optional<CaptureSource> CaptureSource::fromArguments(const QStringList& given,
                                                          QString* error) {
    // "--url=ADDRESS" means "--url ADDRESS", as the option parser takes it.
    QStringList arguments;
    for (qsizetype i = 0; i < given.size(); ++i) {
        const QString& a = given.at(i);
        const QString name = a.section(QLatin1Char('='), 0, 0);
        if (i > 0 && a.contains(QLatin1Char('=')) &&
            (name == QLatin1String("--url") || name == QLatin1String("--camera") ||
             name == QLatin1String("--video")))
            arguments << name << a.section(QLatin1Char('='), 1);
        else
            arguments << a;
    }
    std::optional<CaptureSource> chosen;
    auto fail = [&](const QString& text) -> std::optional<CaptureSource> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    if (error)
        error->clear();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        std::optional<CaptureSource> next;
        if (a == QLatin1String("--demo")) {
            next = demo();
        } else if (a == QLatin1String("--url")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("Не указано значение для %1").arg(a));
            const QString value = arguments.at(++i);
            if (!isNetworkAddress(value))
                return fail(QStringLiteral("Неверный адрес камеры (нужен rtsp://, rtsps://, "
                                           "http:// или https://)"));
            next = network(value);
        } else if (a == QLatin1String("--camera") || a == QLatin1String("--video")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("Не указано значение для %1").arg(a));
            const QString value = arguments.at(++i);
            if (a == QLatin1String("--video")) {
                if (value.isEmpty())
                    return fail(QStringLiteral("Не указан видеофайл"));
                next = videoFile(value);
            } else {
                bool ok = false;
                const int n = value.toInt(&ok);
                if (!ok || n < 0)
                    return fail(QStringLiteral("Неверный номер камеры: %1").arg(value));
                next = camera(n);
            }
        } else {
            continue; // other options belong to someone else
        }
        if (chosen && !(*chosen == *next))
            return fail(QStringLiteral("Источник видео указан дважды"));
        chosen = next;
    }
    return chosen;
}

void CaptureSource::maskPasswordsInArguments(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        char* value = nullptr;
        if (std::strcmp(argv[i], "--url") == 0 && i + 1 < argc)
            value = argv[++i];
        else if (std::strncmp(argv[i], "--url=", 6) == 0)
            value = argv[i] + 6;
        if (!value)
            continue;
        const QByteArray masked =
            network(QString::fromLocal8Bit(value)).maskedAddress().toLocal8Bit();
        if (!masked.contains("***") || masked == value)
            continue; // no secret in it
        // The argument's own bytes are all there is: the masked address goes
        // in when it fits (the rest zeroed, so no tail of the password
        // stays), else stars over the whole of it.
        const std::size_t length = std::strlen(value);
        const auto fits = static_cast<std::size_t>(masked.size());
        if (fits <= length) {
            std::memcpy(value, masked.constData(), fits);
            std::memset(value + fits, 0, length - fits);
        } else {
            std::memset(value, '*', length);
        }
    }
}

} // namespace vigilux::video
