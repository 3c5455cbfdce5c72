#include "settings/Moptions.h"

#include "settings/AppContext.h"
#include "settings/SensorTarget.h"

// Placeholder bodies; the settings model is being written.
namespace vigilux::settings {

const QString Moptions::DefaultHD = QStringLiteral(
    "752,416,800,448,800,600,864,480,960,544,960,720,1024,576,1024,768,1184,656,1280,720,1280,"
    "960,1280,960,1392,768,1504,832,1600,896,1600,1200,3200,2400,4000,3000,5160,3870");

Moptions::Moptions(AppContext& context, SensorTarget& sensorTarget)
    : m_context(context)
    , m_sensorTarget(sensorTarget) {}

void Moptions::LoadOptions() {}
void Moptions::SetDefaultOptions() {}
void Moptions::SaveOptions() {}
void Moptions::SaveSensorOptions() {}
void Moptions::SaveFtpOptions() {}
QString Moptions::ScramblePassword(const QString& text) {
    return text;
}
QString Moptions::UnscramblePassword(const QString& text) {
    return text;
}
QList<QPair<qint16, qint16>> Moptions::ParseHD(const QString&) {
    return {};
}

} // namespace vigilux::settings
