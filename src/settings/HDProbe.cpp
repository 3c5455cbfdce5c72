#include "settings/HDProbe.h"

#include "platform/CaptureCommands.h"

#include <QStringList>

#include <optional>

namespace vigilux::settings {

namespace {

std::optional<qint16> toInt16(const QString& item) {
    bool ok = false;
    const qlonglong value = item.trimmed().toLongLong(&ok, 10);
    if (!ok || value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<HDMode> pairAt(const QStringList& items, qsizetype k) {
    if (k + 1 >= items.size())
        return std::nullopt;
    const auto width = toInt16(items[k]);
    const auto height = toInt16(items[k + 1]);
    if (!width || !height)
        return std::nullopt;
    return HDMode{*width, *height};
}

} // namespace

QList<HDMode> HDProbe::Probe(const QString& candidates, platform::CaptureCommands& device,
                             const Progress& progress) {
    QList<HDMode> accepted;
    const QStringList items = candidates.split(QLatin1Char(','));
    const qsizetype last = items.size() - 1;
    for (qsizetype k = 0; k <= last; k += 2) {
        const auto mode = pairAt(items, k);
        if (!mode)
            continue;
        if (progress)
            progress(ProgressText(static_cast<int>(k / 2), static_cast<int>(last / 2), *mode));
        if (device.SetRes(mode->width, mode->height, true))
            accepted.append(*mode);
    }
    return accepted;
}

QList<HDMode> HDProbe::ParseModes(const QString& list) {
    QList<HDMode> modes;
    const QStringList items = list.split(QLatin1Char(','));
    for (qsizetype k = 0; k < items.size(); k += 2) {
        if (const auto mode = pairAt(items, k))
            modes.append(*mode);
    }
    return modes;
}

QString HDProbe::ModesText(const QList<HDMode>& modes) {
    QStringList items;
    for (const HDMode& mode : modes)
        items << QString::number(mode.width) << QString::number(mode.height);
    return items.join(QLatin1Char(','));
}

QString HDProbe::ListItem(const HDMode& mode) {
    return QString::number(mode.width) + QStringLiteral(" x ") + QString::number(mode.height);
}

QString HDProbe::ProgressText(int pairIndex, int lastPair, const HDMode& mode) {
    return QStringLiteral("Разрешение ") + QString::number(pairIndex) + QStringLiteral(" из ") +
           QString::number(lastPair) + QStringLiteral(" (ширина ") + QString::number(mode.width) +
           QStringLiteral("px, высота ") + QString::number(mode.height) + QStringLiteral("px)");
}

QString HDProbe::ResultText(int accepted) {
    if (accepted <= 0)
        return QStringLiteral("Поддерживаемых HD-режимов не найдено.");
    // The count shown is one below the number of sizes found; kept as the
    // program has always worded it.
    return QStringLiteral("Найдено ") + QString::number(accepted - 1) +
           QStringLiteral(" поддерживаемых HD-режимов.");
}

} // namespace vigilux::settings
