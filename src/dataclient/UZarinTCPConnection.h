// TCP transport to the data server: a connection over a blocking IPv4 socket with no-delay on,
// exact reads, writes chunked to PacketSize, and the factory that connects it. Error numbers of
// the operating system are reported as the Windows Sockets codes the rest of the suite knows.
//
// Thread contract: as for every connection (UZarinAbstracts.h): one reader thread, writes
// serialised by the owner, Close from any thread. Close only shuts the socket down; the
// descriptor is released when the owner destroys the connection, so a reader that is still
// inside recv can never land on a descriptor number that was meanwhile reused.
// The factory's properties are set on the main thread while no session uses it.
#pragma once

#include "dataclient/UZarinAbstracts.h"

#include <atomic>
#include <vector>

namespace dataclient {

// Message text of a Windows Sockets error code; codes without a row give "LAN_ERROR " + 8 hex.
QString SocketErrorText(int code);
// The Windows Sockets code for an errno value (unknown ones pass through unchanged).
int WinSockCodeFromErrno(int err);
// The Windows Sockets code for a getaddrinfo() failure.
int WinSockCodeFromResolver(int gaiError, int err);

class TZarinTCPConnection : public TZarinAbstractConnection {
public:
    TZarinTCPConnection(int socket, int32_t packetSize);
    ~TZarinTCPConnection() override;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    void Close() override;

    int Socket() const { return FSocket.load(); }
    int32_t PacketSize() const { return FPacketSize; }

private:
    // Constant after construction.
    const int FDescriptor;
    const int32_t FPacketSize;
    // -1 once closed; read by every operation, cleared by Close from any thread.
    std::atomic<int> FSocket;
    std::atomic<bool> FShutDown{false};
    // Reader thread only: bytes received but not yet handed out.
    std::vector<char> FBuffer = std::vector<char>(16384);
    size_t FBufferBegin = 0;
    size_t FBufferEnd = 0;
};

class TZarinTCPClientConnectionFactory : public TZarinClientConnectionFactory {
    Q_OBJECT
    Q_PROPERTY(quint16 Port READ Port WRITE SetPort)
    Q_PROPERTY(QString IPAddress READ IPAddress WRITE SetIPAddress)
    Q_PROPERTY(int PacketSize READ PacketSize WRITE SetPacketSize)
public:
    explicit TZarinTCPClientConnectionFactory(QObject* owner = nullptr);

    std::unique_ptr<TZarinAbstractConnection> CreateConnection() override;

    quint16 Port() const;
    void SetPort(quint16 port);
    QString IPAddress() const;
    void SetIPAddress(const QString& address);
    int32_t PacketSize() const;
    void SetPacketSize(int32_t size);

private:
    mutable std::mutex FSettingsLock;
    quint16 FPort = 2001;                              // guarded by FSettingsLock
    QString FIPAddress = QStringLiteral("127.0.0.1");  // guarded by FSettingsLock
    int32_t FPacketSize = 8192;                        // guarded by FSettingsLock
};

}  // namespace dataclient
