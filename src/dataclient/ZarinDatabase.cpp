// The database component: connect and disconnect over the owned session.
#include "dataclient/ZarinDatabase.h"

#include "platform/DataSet.h"

#include <chrono>
#include <thread>

namespace dataclient {

using namespace std::chrono_literals;

namespace {

// The first TCP connection gets this many pauses to appear before the connect gives up.
constexpr int kConnectPauses = 16;
constexpr auto kConnectPause = 200ms;

}  // namespace

TZarinDatabase::TZarinDatabase(QObject* owner)
    : QObject(owner),
      FFactory(new TZarinTCPClientConnectionFactory(this)),
      FClient(new TZClient(this)),
      FDBCommand(new TZDBCommand(this)) {
    FFactory->setObjectName(QStringLiteral("Factory"));
    FClient->setObjectName(QStringLiteral("Client"));
    FDBCommand->setObjectName(QStringLiteral("DBCommand"));
    FClient->SetConnectionFactory(FFactory);
    FDBCommand->SetZClient(FClient);
    // A link set that went down leaves the component disconnected; it does not reconnect alone.
    FClient->OnDisconnect = [](TZClient* sender) { sender->SetActive(false); };
}

TZarinDatabase::~TZarinDatabase() {
    // The session goes first, while the factory its links use still exists.
    FClient->SetActive(false);
    FDBCommand->SetZClient(nullptr);
    delete FDBCommand;
    delete FClient;
    delete FFactory;
}

void TZarinDatabase::SetConnected(bool value) {
    if (value && !FClient->Active())
        DoConnect();
    else if (!value && FClient->Active())
        DoDisconnect();
}

void TZarinDatabase::DoConnect() {
    FClient->SetActive(true);
    // The first link's TCP connection is enough; the login need not be accepted yet.
    for (int pause = 0; pause < kConnectPauses && !FClient->IsConnected(); ++pause)
        std::this_thread::sleep_for(kConnectPause);
    if (FClient->IsConnected()) {
        FDBCommand->OpenDBSession();
        return;
    }
    FClient->SetActive(false);
    throw platform::EDatabaseError(
        QStringLiteral("Ошибка соединения с KTS %1 : %2").arg(Host()).arg(Port()));
}

void TZarinDatabase::DoDisconnect() {
    if (FDBCommand->DBSessionState())
        FDBCommand->CloseDBSession();
    FClient->SetActive(false);
}

}  // namespace dataclient
