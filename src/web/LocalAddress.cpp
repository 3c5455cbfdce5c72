#include "web/LocalAddress.h"

namespace vigilux::web {

bool isLocalAddress(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4) {
        const auto in = [v4](quint32 net, int bits) {
            return (v4 >> (32 - bits)) == (net >> (32 - bits));
        };
        return in(0x7F000000, 8) || in(0x0A000000, 8) || in(0xAC100000, 12) || in(0xC0A80000, 16) ||
               in(0xA9FE0000, 16);
    }
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    if (address.isLoopback())
        return true;
    return (v6[0] & 0xFE) == 0xFC || (v6[0] == 0xFE && (v6[1] & 0xC0) == 0x80);
}

} // namespace vigilux::web
