#pragma once

#include <QChar>
#include <QString>

namespace vigilux::controls {

// Captions mark their access key with "&"; "&&" is a literal ampersand.
namespace AccessKey {

// The character after the first "&" that is not part of a "&&"; a null
// QChar when the caption has none.
QChar keyOf(const QString& caption);

// The caption as shown: "&&" becomes "&", a marking "&" disappears.
QString displayText(const QString& caption);

} // namespace AccessKey
} // namespace vigilux::controls
