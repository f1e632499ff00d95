// TCP transport: POSIX sockets behind the connection interface.
#include "dataclient/UZarinTCPConnection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

namespace dataclient {

namespace {

struct ErrorRow {
    int code;
    const char* text;
};

const ErrorRow kSocketErrors[] = {
    {10004, "Прерванный вызов функции"},
    {10013, "Ограничение доступа"},
    {10014, "Плохой адрес"},
    {10022, "Неправильный аргумент"},
    {10024, "Слишком много открытых файлов"},
    {10035, "Ресурс временно не доступен"},
    {10036, "Операция уже выполняется"},
    {10037, "Операция уже выполняется"},
    {10038, "Операция выполняется на несокете"},
    {10039, "Адрес назначения необходим"},
    {10040, "Сообщение очень длинно"},
    {10041, "Плохой тип протокол для данного сокета"},
    {10042, "Плохая опция протокола"},
    {10043, "Протокол не поддерживается"},
    {10044, "Такой тип сокета неподдерживается"},
    {10045, "Операция не поддерживается"},
    {10046, "Семейство протоколов не поддерживается"},
    {10047, "Семейство адресов не поддерживается семейством протоколов"},
    {10048, "Адрес уже используется"},
    {10049, "Не могу присвоить запрошенный адрес"},
    {10050, "Сеть умерла"},
    {10051, "Сеть недоступна"},
    {10052, "Сеть отбросила соединение"},
    {10053, "Програмное обеспечение вызвало разрыв связи"},
    {10054, "Соединение отвергнуто узлом"},
    {10055, "Нет места под буфер"},
    {10056, "Сокет уже подключен"},
    {10057, "Сокет не подключен"},
    {10058, "Не могу ничего послать после закрытия сокета"},
    {10060, "Тайм-аут соединения"},
    {10061, "Соединение отвергнуто"},
    {10064, "Хост умер"},
    {10065, "Не могу маршрутизировать указанный хост"},
    {10067, "Слишком много процессок"},
    {10091, "Сетевая подсистема недоступна"},
    {10092, "Неправильная версия Winsock.dll "},
    {10093, "Процедура WSAStartup не была завершена успешно"},
    {10101, "\"Изящное\" закрытие работает"},
    {11001, "Ресурс временно не доступен"},
    {11002, "Nonauthoritative host not found."},
    {11003, "Невостановимая ошибка"},
    {11004, "Valid name, no data record of requested type."},
};

struct ErrnoRow {
    int err;
    int code;
};

// errno -> Windows Sockets code. EPIPE is what Linux reports for a send on a connection the peer
// has reset; Windows reports that as a reset too. EBADF comes from a descriptor that is gone.
const ErrnoRow kErrnoCodes[] = {
    {EINTR, 10004},           {EACCES, 10013},       {EFAULT, 10014},
    {EINVAL, 10022},          {EMFILE, 10024},       {EAGAIN, 10035},
    {EINPROGRESS, 10036},     {EALREADY, 10037},     {ENOTSOCK, 10038},
    {EBADF, 10038},           {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {EPIPE, 10054},
    {ENOBUFS, 10055},         {EISCONN, 10056},      {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},       {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},
    {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},
};

QString lastSocketErrorText() {
    return SocketErrorText(WinSockCodeFromErrno(errno));
}

}  // namespace

QString SocketErrorText(int code) {
    for (const auto& row : kSocketErrors)
        if (row.code == code)
            return QString::fromUtf8(row.text);
    return QStringLiteral("LAN_ERROR ") +
           QStringLiteral("%1").arg(uint32_t(code), 8, 16, QLatin1Char('0')).toUpper();
}

int WinSockCodeFromErrno(int err) {
    for (const auto& row : kErrnoCodes)
        if (row.err == err)
            return row.code;
    return err;
}

int WinSockCodeFromResolver(int gaiError, int err) {
    switch (gaiError) {
        case EAI_NONAME:
            return 11001;
        case EAI_AGAIN:
            return 11002;
        case EAI_FAIL:
            return 11003;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return 11004;
#endif
        case EAI_SYSTEM:
            return WinSockCodeFromErrno(err);
        default:
            return 11001;
    }
}

TZarinTCPConnection::TZarinTCPConnection(int socket, int32_t packetSize)
    : FDescriptor(socket), FPacketSize(packetSize > 0 ? packetSize : 8192), FSocket(socket) {
    int on = -1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

TZarinTCPConnection::~TZarinTCPConnection() {
    Close();
    if (FDescriptor >= 0)
        ::close(FDescriptor);
}

int32_t TZarinTCPConnection::Read(void* buffer, int32_t count) {
    try {
        auto* out = static_cast<char*>(buffer);
        int32_t position = 0;
        errno = 0;
        while (position < count) {
            // Serve from what an earlier receive brought in: a packet header and its body then
            // cost one system call instead of four.
            if (FBufferBegin < FBufferEnd) {
                const size_t n = std::min(FBufferEnd - FBufferBegin, size_t(count - position));
                std::memcpy(out + position, FBuffer.data() + FBufferBegin, n);
                FBufferBegin += n;
                position += int32_t(n);
                continue;
            }
            int socket = FSocket.load();
            if (socket < 0)
                break;
            const size_t wanted = size_t(count - position);
            const bool direct = wanted >= FBuffer.size();
            ssize_t got = direct ? ::recv(socket, out + position, wanted, 0)
                                 : ::recv(socket, FBuffer.data(), FBuffer.size(), 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            AddRead(uint32_t(got));
            if (direct) {
                position += int32_t(got);
            } else {
                FBufferBegin = 0;
                FBufferEnd = size_t(got);
            }
        }
        if (position == count) {
            SetLastError(QString());
            return count;
        }
        // A clean close by the peer leaves errno 0: "LAN_ERROR 00000000". A local Close leaves
        // whatever recv said on the shut-down socket.
        SetLastError(lastSocketErrorText());
        return 0;
    } catch (const std::exception& e) {
        SetLastError(QString::fromUtf8(e.what()));
        return 0;
    }
}

int32_t TZarinTCPConnection::Write(const void* buffer, int32_t count) {
    try {
        const auto* in = static_cast<const char*>(buffer);
        int32_t position = 0;
        ssize_t last = 0;
        errno = 0;
        while (position < count) {
            const int32_t chunkEnd = position + std::min(count - position, FPacketSize);
            while (position < chunkEnd) {
                int socket = FSocket.load();
                if (socket < 0) {
                    last = -1;
                    errno = ENOTSOCK;
                    break;
                }
                last = ::send(socket, in + position, size_t(chunkEnd - position), MSG_NOSIGNAL);
                if (last < 0 && errno == EINTR)
                    continue;
                if (last <= 0)
                    break;
                position += int32_t(last);
                AddWritten(uint32_t(last));
            }
            if (last <= 0)
                break;
        }
        if (position == count) {
            SetLastError(QString());
            return count;
        }
        SetLastError(lastSocketErrorText());
        return int32_t(last);
    } catch (const std::exception& e) {
        SetLastError(QString::fromUtf8(e.what()));
        return 0;
    }
}

void TZarinTCPConnection::Close() {
    int socket = FSocket.exchange(-1);
    if (socket >= 0 && !FShutDown.exchange(true))
        ::shutdown(socket, SHUT_RDWR);
}

TZarinTCPClientConnectionFactory::TZarinTCPClientConnectionFactory(QObject* owner)
    : TZarinClientConnectionFactory(owner) {}

quint16 TZarinTCPClientConnectionFactory::Port() const {
    std::lock_guard guard(FSettingsLock);
    return FPort;
}
void TZarinTCPClientConnectionFactory::SetPort(quint16 port) {
    std::lock_guard guard(FSettingsLock);
    FPort = port;
}
QString TZarinTCPClientConnectionFactory::IPAddress() const {
    std::lock_guard guard(FSettingsLock);
    return FIPAddress;
}
void TZarinTCPClientConnectionFactory::SetIPAddress(const QString& address) {
    std::lock_guard guard(FSettingsLock);
    FIPAddress = address;
}
int32_t TZarinTCPClientConnectionFactory::PacketSize() const {
    std::lock_guard guard(FSettingsLock);
    return FPacketSize;
}
void TZarinTCPClientConnectionFactory::SetPacketSize(int32_t size) {
    std::lock_guard guard(FSettingsLock);
    FPacketSize = size;
}

std::unique_ptr<TZarinAbstractConnection> TZarinTCPClientConnectionFactory::CreateConnection() {
    const QByteArray host = IPAddress().toUtf8();
    const quint16 port = Port();
    const int32_t packetSize = PacketSize();

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    errno = 0;
    int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        SetLastError(QStringLiteral("Не найден хост") +
                     SocketErrorText(WinSockCodeFromResolver(rc, errno)));
        return nullptr;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);

    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0) {
        SetLastError(QStringLiteral("Создание сокета: ") + lastSocketErrorText());
        return nullptr;
    }
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        SetLastError(QStringLiteral("Соединение: ") + lastSocketErrorText());
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
        return nullptr;
    }
    auto connection = std::make_unique<TZarinTCPConnection>(socket, packetSize);
    SetLastError(QString());
    return connection;
}

}  // namespace dataclient
