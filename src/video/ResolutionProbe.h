#pragma once

#include "core/StatusSink.h"

#include <QList>
#include <QString>

namespace vigilux::video {

class CaptureCommands;

// One capture size, as stored in the candidate and result lists.
struct ResolutionMode {
    qint16 width = 0;
    qint16 height = 0;
    bool operator==(const ResolutionMode&) const = default;
};

// The probe of high capture resolutions and the texts and lists around it,
// kept apart from the window so the loop runs against a fake device.
class ResolutionProbe final {
public:
    // Tries every pair of `candidates` ("w,h,w,h,...") with
    // setResolution(w, h, true) in list order and returns the accepted ones, in the
    // same order (a pair listed twice and accepted twice is returned twice).
    // A pair with an item that is not a 16-bit integer, or a last item
    // without a partner, is skipped without a call. `progress` hears a line
    // before each size is tried.
    static QList<ResolutionMode> probe(const QString& candidates, video::CaptureCommands& device,
                                       const core::StatusSink& progress = {});

    // The modes of a stored list; invalid and incomplete pairs are skipped.
    static QList<ResolutionMode> parseModes(const QString& list);

    // "w,h,w,h" without a trailing comma: the stored form of a result.
    static QString modesText(const QList<ResolutionMode>& modes);

    // A drop-down entry: "1280 x 720".
    static QString listItem(const ResolutionMode& mode);

    // "Разрешение 3 из 18 (ширина 864px, высота 480px)": pairIndex is the
    // pair's item index divided by two, lastPair the last item's index
    // divided by two.
    static QString progressText(int pairIndex, int lastPair, const ResolutionMode& mode);

    // The status line after a probe that accepted `accepted` sizes (0 gives
    // the not-found line).
    static QString resultText(int accepted);
};

} // namespace vigilux::video
