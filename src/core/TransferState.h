#pragma once

#include <QtGlobal>

namespace vigilux::core {

// Where a transfer to a server stands, as its status picture shows it.
// While it runs it alternates between Queued and Working (the blink).
enum class TransferState : qint8 { None, Queued, Working, Done, Failed };

} // namespace vigilux::core
