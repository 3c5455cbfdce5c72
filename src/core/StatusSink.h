#pragma once

#include <QString>

#include <functional>

namespace vigilux::core {

// Where a one-line status text goes (the main window's status line, standard
// error in replay, a list in tests). Called on the caller's thread, at once;
// the sink must not destroy whoever calls it. An empty sink drops the text.
using StatusSink = std::function<void(const QString& text)>;

} // namespace vigilux::core
