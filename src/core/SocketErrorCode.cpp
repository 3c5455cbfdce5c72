#include "core/SocketErrorCode.h"

namespace vigilux::core {

int SocketErrorCode::number(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    default:
        return static_cast<int>(error);
    }
}

QString SocketErrorCode::description(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("сервер отклонил подключение");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("сервер разорвал соединение");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("сервер с таким именем не найден");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("нет прав на сетевую операцию");
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("не хватает системных ресурсов для соединения");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("истекло время ожидания");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("сеть недоступна");
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("адрес уже используется");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("адрес недоступен на этом компьютере");
    case QAbstractSocket::UnsupportedSocketOperationError:
        return QStringLiteral("операция не поддерживается системой");
    default:
        return QStringLiteral("ошибка сети");
    }
}

} // namespace vigilux::core
