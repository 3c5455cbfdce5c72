#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace vigilux {
struct AppContext;
}

namespace vigilux::core {

class DetectorValuesTarget;

// Loads, defaults and saves the settings record through the shared store,
// key by key as core::SettingsTable lists them; each save writes only the
// keys of the window that calls it.
class SettingsStorage final {
public:
    SettingsStorage(AppContext& context, DetectorValuesTarget& detectorValuesTarget);

    void load();
    void setDefaults();
    void save();
    void saveDetectorValues();
    void saveFtp();

    static QString scramblePassword(const QString& text);
    static QString unscramblePassword(const QString& text);

    // The default candidate list of capture resolutions.
    static const QString DefaultResolutions;

    // The text-to-type conversions of the load. Booleans take "True"/"False"
    // in any case or a number (0 false, else true); integers take decimal
    // text within the type's range. Anything else, "" included, gives the
    // fallback.
    static bool textToBool(const QString& text, bool fallback);
    static qint16 textToInt16(const QString& text, qint16 fallback);
    static qint32 textToInt32(const QString& text, qint32 fallback);

    // "w,h,w,h,..." as (width, height) pairs of 16-bit integers. A pair with
    // an item that is not a 16-bit integer, or a last item without a partner,
    // is skipped.
    static QList<QPair<qint16, qint16>> parseResolutions(const QString& list);

private:
    void pushDetectorValues();
    // Where pictures go when the user picks no folder at the first start:
    // beside the program, or in the user's pictures when the program's
    // folder is not ours to write.
    QString defaultSaveFolder() const;

    AppContext& m_context;
    DetectorValuesTarget& m_detectorValuesTarget;
};

} // namespace vigilux::core
