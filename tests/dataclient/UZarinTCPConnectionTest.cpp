// TCP transport and factories against local sockets on 127.0.0.1.
#include "dataclient/UZarinTCPConnection.h"

#include "TestEnv.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

using namespace dataclient;

namespace {

// A listening socket on an ephemeral port of 127.0.0.1.
class Listener {
public:
    Listener() {
        FSocket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(FSocket, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(FSocket, 4);
        socklen_t n = sizeof a;
        ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&a), &n);
        FPort = ntohs(a.sin_port);
    }
    ~Listener() { ::close(FSocket); }
    uint16_t port() const { return FPort; }
    int accept() { return ::accept(FSocket, nullptr, nullptr); }

private:
    int FSocket;
    uint16_t FPort;
};

// A port where nothing listens: bound once, then released.
uint16_t deadPort() {
    Listener l;
    return l.port();
}

std::unique_ptr<TZarinAbstractConnection> connectTo(uint16_t port) {
    TZarinTCPClientConnectionFactory factory;
    factory.SetPort(port);
    return factory.CreateConnection();
}

class StubFactory : public TZarinClientConnectionFactory {
public:
    StubFactory(int priority, QString name, std::vector<QString>* tried)
        : FName(std::move(name)), FTried(tried) {
        SetPriority(priority);
    }
    std::unique_ptr<TZarinAbstractConnection> CreateConnection() override {
        FTried->push_back(FName);
        SetLastError(FName + " failed");
        return nullptr;
    }

private:
    QString FName;
    std::vector<QString>* FTried;
};

}  // namespace

TEST(SocketErrorText, TableRowsAndTheFallbackForm) {
    EXPECT_EQ(SocketErrorText(10061), "Соединение отвергнуто");
    EXPECT_EQ(SocketErrorText(10060), "Тайм-аут соединения");
    EXPECT_EQ(SocketErrorText(10092), "Неправильная версия Winsock.dll ");
    EXPECT_EQ(SocketErrorText(10101), "\"Изящное\" закрытие работает");
    EXPECT_EQ(SocketErrorText(11001), "Ресурс временно не доступен");
    EXPECT_EQ(SocketErrorText(11004), "Valid name, no data record of requested type.");
    EXPECT_EQ(SocketErrorText(123), "LAN_ERROR 0000007B");
    EXPECT_EQ(SocketErrorText(0), "LAN_ERROR 00000000");
    EXPECT_EQ(SocketErrorText(-1), "LAN_ERROR FFFFFFFF");
}

TEST(SocketErrorText, ErrnoMapsOntoWinSockCodes) {
    EXPECT_EQ(WinSockCodeFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WinSockCodeFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(WinSockCodeFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WinSockCodeFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(WinSockCodeFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(WinSockCodeFromResolver(EAI_NONAME, 0), 11001);
}

TEST(TZarinTCPClientConnectionFactory, Defaults) {
    TZarinTCPClientConnectionFactory factory;
    EXPECT_EQ(factory.Port(), 2001);
    EXPECT_EQ(factory.IPAddress(), "127.0.0.1");
    EXPECT_EQ(factory.PacketSize(), 8192);
    EXPECT_EQ(factory.Priority(), 0);
}

TEST(TZarinTCPClientConnectionFactory, RefusedConnectionAndUnknownHost) {
    TZarinTCPClientConnectionFactory factory;
    factory.SetPort(deadPort());
    EXPECT_FALSE(factory.CreateConnection());
    EXPECT_EQ(factory.LastError(), "Соединение: Соединение отвергнуто");

    factory.SetIPAddress("no-such-host.invalid");
    EXPECT_FALSE(factory.CreateConnection());
    // No separator between the prefix and the error text.
    EXPECT_TRUE(factory.LastError().startsWith("Не найден хост"))
        << factory.LastError().toStdString();
    EXPECT_FALSE(factory.LastError().startsWith("Не найден хост "));
}

TEST(TZarinTCPConnection, ExactReadsChunkedWritesAndCounters) {
    Listener listener;
    auto client = connectTo(listener.port());
    ASSERT_TRUE(client);
    EXPECT_TRUE(client->LastError().isEmpty());
    int server = listener.accept();

    QByteArray data(20000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    ASSERT_EQ(client->Write(data.constData(), data.size()), 20000);
    EXPECT_EQ(client->BytesWritten(), 20000u);
    QByteArray got(20000, '\0');
    int have = 0;
    while (have < 20000) {
        ssize_t n = ::recv(server, got.data() + have, size_t(20000 - have), 0);
        ASSERT_GT(n, 0);
        have += int(n);
    }
    EXPECT_EQ(got, data);

    // The reader waits until all asked-for bytes arrived, even when they come in pieces.
    std::thread writer([server] {
        ::send(server, "abc", 3, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::send(server, "defgh", 5, 0);
    });
    char buffer[8];
    EXPECT_EQ(client->Read(buffer, 8), 8);
    writer.join();
    EXPECT_EQ(QByteArray(buffer, 8), "abcdefgh");
    EXPECT_EQ(client->BytesRead(), 8u);

    // A peer that closes cleanly: the read fails with the text of error 0.
    ::close(server);
    EXPECT_EQ(client->Read(buffer, 4), 0);
    EXPECT_EQ(client->LastError(), "LAN_ERROR 00000000");
}

TEST(TZarinTCPConnection, CloseWakesABlockedReaderAndIsIdempotent) {
    Listener listener;
    auto client = connectTo(listener.port());
    ASSERT_TRUE(client);
    int server = listener.accept();
    int32_t result = -1;
    std::thread reader([&] {
        char b[4];
        result = client->Read(b, 4);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    client->Close();
    reader.join();
    EXPECT_EQ(result, 0);
    client->Close();  // second call does nothing
    char b[4];
    EXPECT_EQ(client->Read(b, 4), 0);
    EXPECT_LE(client->Write("x", 1), 0);
    EXPECT_FALSE(client->LastError().isEmpty());
    ::close(server);
}

TEST(TZarinClientFactoryEnumerator, TriesFactoriesByPriorityThenRegistration) {
    std::vector<QString> tried;
    TZarinClientFactoryEnumerator enumerator;
    EXPECT_FALSE(enumerator.CreateConnection());
    EXPECT_EQ(enumerator.LastError(), "FactoryList is Emty");

    StubFactory a(5, "a", &tried), b(5, "b", &tried), c(9, "c", &tried);
    a.SetEnumerator(&enumerator);
    b.SetEnumerator(&enumerator);
    c.SetEnumerator(&enumerator);
    EXPECT_FALSE(enumerator.CreateConnection());
    EXPECT_EQ(tried, (std::vector<QString>{"c", "a", "b"}));
    EXPECT_EQ(enumerator.LastError(), "b failed");

    // A real factory behind the stubs wins once it can connect.
    Listener listener;
    TZarinTCPClientConnectionFactory tcp;
    tcp.SetPort(listener.port());
    tcp.SetPriority(1);
    tcp.SetEnumerator(&enumerator);
    b.SetEnumerator(nullptr);
    tried.clear();
    auto connection = enumerator.CreateConnection();
    EXPECT_TRUE(connection);
    EXPECT_EQ(tried, (std::vector<QString>{"c", "a"}));
    EXPECT_TRUE(enumerator.LastError().isEmpty());
}

TEST(TZarinClientFactoryEnumerator, DestroyingEitherSideUnregisters) {
    std::vector<QString> tried;
    auto enumerator = std::make_unique<TZarinClientFactoryEnumerator>();
    StubFactory keeper(1, "keeper", &tried);
    keeper.SetEnumerator(enumerator.get());
    {
        StubFactory passing(2, "passing", &tried);
        passing.SetEnumerator(enumerator.get());
        EXPECT_EQ(enumerator->Factories().size(), 2u);
    }
    EXPECT_EQ(enumerator->Factories().size(), 1u);
    enumerator.reset();
    EXPECT_EQ(keeper.Enumerator(), nullptr);
}
