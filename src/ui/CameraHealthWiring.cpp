#include "ui/CameraHealthWiring.h"

#include "core/AppContext.h"
#include "video/CameraHealthMonitor.h"

#include <QDir>

#include <utility>

namespace vigilux::ui {

using video::CameraHealth;

CameraHealthWiring::CameraHealthWiring(AppContext& context, Sinks sinks, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_sinks(std::move(sinks))
    , m_log(m_sinks.status) {
    m_log.setHeader(events::EventLog::CameraHeader);
}

void CameraHealthWiring::follow(video::CameraHealthMonitor& monitor) {
    connect(&monitor, &video::CameraHealthMonitor::alert, this, &CameraHealthWiring::onAlert);
}

QString CameraHealthWiring::alertName(CameraHealth::Alert alert) {
    switch (alert) {
    case CameraHealth::Alert::Lost:
        return QStringLiteral("lost");
    case CameraHealth::Alert::Frozen:
        return QStringLiteral("frozen");
    case CameraHealth::Alert::Covered:
        return QStringLiteral("covered");
    case CameraHealth::Alert::Restored:
        break;
    }
    return QStringLiteral("restored");
}

void CameraHealthWiring::onAlert(CameraHealth::Alert alert, const QString& text) {
    const QDateTime now = m_context.clock.now();
    const QString source = m_sinks.source ? m_sinks.source() : QString();
    // No save folder: there is nowhere to log, and saving says so already.
    if (!m_context.settings.savePath.isEmpty()) {
        m_log.setPath(QDir(m_context.settings.savePath).filePath(events::EventLog::CameraFileName));
        m_log.appendFields({events::EventLog::timeText(now), alertName(alert), text, source});
    }
    const QString time = now.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (m_sinks.status)
        m_sinks.status(QLatin1Char(' ') + text + QStringLiteral(" (") + time + QLatin1Char(')'));
    const bool restored = alert == CameraHealth::Alert::Restored;
    if (m_sinks.balloon)
        m_sinks.balloon(restored ? QStringLiteral("Камера снова работает")
                                 : QStringLiteral("Проблема с камерой"),
                        text + QStringLiteral("\n") + source, restored ? 1 : 2);
    if (m_sinks.phone)
        m_sinks.phone(QStringLiteral("Vigilux: ") + text,
                      text + QStringLiteral(", ") + time +
                          (source.isEmpty() ? QString() : QStringLiteral(". ") + source));
}

} // namespace vigilux::ui
