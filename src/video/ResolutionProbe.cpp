#include "video/ResolutionProbe.h"

#include "video/CaptureCommands.h"

#include <QStringList>

#include <optional>

namespace vigilux::video {

namespace {

std::optional<qint16> toInt16(const QString& item) {
    bool ok = false;
    const qlonglong value = item.trimmed().toLongLong(&ok, 10);
    if (!ok || value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<ResolutionMode> pairAt(const QStringList& items, qsizetype k) {
    if (k + 1 >= items.size())
        return std::nullopt;
    const auto width = toInt16(items[k]);
    const auto height = toInt16(items[k + 1]);
    if (!width || !height)
        return std::nullopt;
    return ResolutionMode{*width, *height};
}

} // namespace

QList<ResolutionMode> ResolutionProbe::probe(const QString& candidates,
                                             video::CaptureCommands& device,
                                             const core::StatusSink& progress) {
    QList<ResolutionMode> accepted;
    const QStringList items = candidates.split(QLatin1Char(','));
    const qsizetype last = items.size() - 1;
    for (qsizetype k = 0; k <= last; k += 2) {
        const auto mode = pairAt(items, k);
        if (!mode)
            continue;
        if (progress)
            progress(progressText(static_cast<int>(k / 2), static_cast<int>(last / 2), *mode));
        if (device.setResolution(mode->width, mode->height, true))
            accepted.append(*mode);
    }
    return accepted;
}

QList<ResolutionMode> ResolutionProbe::parseModes(const QString& list) {
    QList<ResolutionMode> modes;
    const QStringList items = list.split(QLatin1Char(','));
    for (qsizetype k = 0; k < items.size(); k += 2) {
        if (const auto mode = pairAt(items, k))
            modes.append(*mode);
    }
    return modes;
}

QString ResolutionProbe::modesText(const QList<ResolutionMode>& modes) {
    QStringList items;
    for (const ResolutionMode& mode : modes)
        items << QString::number(mode.width) << QString::number(mode.height);
    return items.join(QLatin1Char(','));
}

QString ResolutionProbe::listItem(const ResolutionMode& mode) {
    return QString::number(mode.width) + QStringLiteral(" x ") + QString::number(mode.height);
}

QString ResolutionProbe::progressText(int pairIndex, int lastPair, const ResolutionMode& mode) {
    return QStringLiteral("Разрешение ") + QString::number(pairIndex) + QStringLiteral(" из ") +
           QString::number(lastPair) + QStringLiteral(" (ширина ") + QString::number(mode.width) +
           QStringLiteral("px, высота ") + QString::number(mode.height) + QStringLiteral("px)");
}

QString ResolutionProbe::resultText(int accepted) {
    if (accepted <= 0)
        return QStringLiteral("Поддерживаемых HD-режимов не найдено.");
    // The count shown is one below the number of sizes found; kept as the
    // program has always worded it.
    return QStringLiteral("Найдено ") + QString::number(accepted - 1) +
           QStringLiteral(" поддерживаемых HD-режимов.");
}

} // namespace vigilux::video
