#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace vigilux {
struct AppContext;
}

namespace vigilux::settings {

class SensorTarget;

// Loads, defaults and saves the settings record through the shared store,
// and keeps the FTP password scrambled in the file.
class Moptions final {
public:
    Moptions(AppContext& context, SensorTarget& sensorTarget);

    void LoadOptions();
    void SetDefaultOptions();
    void SaveOptions();
    void SaveSensorOptions();
    void SaveFtpOptions();

    static QString ScramblePassword(const QString& text);
    static QString UnscramblePassword(const QString& text);

    // The default candidate list of capture resolutions.
    static const QString DefaultHD;

    // "w,h,w,h,..." as (width, height) pairs of 16-bit integers. A pair with
    // an item that is not a 16-bit integer, or a last item without a partner,
    // is skipped.
    static QList<QPair<qint16, qint16>> ParseHD(const QString& list);

private:
    AppContext& m_context;
    SensorTarget& m_sensorTarget;
};

} // namespace vigilux::settings
