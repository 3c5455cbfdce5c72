#pragma once

#include <QHostAddress>

namespace vigilux::web {

// Whether a peer is on the local network: loopback, the IPv4 private ranges
// (10/8, 172.16/12, 192.168/16), link-local (169.254/16, fe80::/10) and
// IPv6 unique local addresses (fc00::/7). IPv4 mapped into IPv6 counts as
// the IPv4 address.
bool isLocalAddress(const QHostAddress& address);

} // namespace vigilux::web
