#include "video/CaptureSource.h"

namespace vigilux::video {

CaptureSource CaptureSource::camera(int index) {
    return {Kind::Camera, index, {}};
}

CaptureSource CaptureSource::videoFile(const QString& path) {
    return {Kind::VideoFile, 0, path};
}

CaptureSource CaptureSource::demo() {
    return {Kind::Demo, 0, {}};
}

std::optional<CaptureSource> CaptureSource::fromArguments(const QStringList& arguments,
                                                          QString* error) {
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

} // namespace vigilux::video
