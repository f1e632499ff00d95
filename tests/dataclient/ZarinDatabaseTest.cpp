// The database component against the real ktsd: connect and its failure, a refused login,
// the database-session requests of a disconnect and their errors.
#include "KtsdProcess.h"

#include "dataclient/ZarinDatabase.h"
#include "platform/DataSet.h"

#include "TestEnv.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace dataclient;
using testenv::Ktsd;
using testenv::waitUntil;

namespace {

uint16_t deadPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(s);
    return ntohs(a.sin_port);
}

QString connectError(TZarinDatabase& db) {
    try {
        db.SetConnected(true);
    } catch (const platform::Exception& e) {
        return e.Message();
    }
    return {};
}

QString disconnectError(TZarinDatabase& db) {
    try {
        db.SetConnected(false);
    } catch (const platform::Exception& e) {
        return e.Message();
    }
    return {};
}

}  // namespace

TEST(TZarinDatabase, DefaultsAndOwnedParts) {
    TZarinDatabase db;
    EXPECT_EQ(db.Host(), "127.0.0.1");
    EXPECT_EQ(db.Port(), 2001);
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.Client()->ConnectionFactory(), db.Factory());
    EXPECT_EQ(db.DBCommand()->ZClient(), db.Client());
    db.SetClientName("R/WORKSTATION");
    EXPECT_EQ(db.Client()->ClientName(), "R/WORKSTATION");
}

TEST(TZarinDatabase, ConnectToNobodyFailsAfterItsPauses) {
    TZarinDatabase db;
    db.SetPort(deadPort());
    try {
        db.SetConnected(true);
        FAIL() << "no exception";
    } catch (const platform::EDatabaseError& e) {  // the platform's database error
        EXPECT_EQ(e.Message(), QString("Ошибка соединения с KTS 127.0.0.1 : %1").arg(db.Port()));
    }
    EXPECT_FALSE(db.Connected());
}

TEST(TZarinDatabase, RefusedLoginConnectsThenDeactivates) {
    // The refusal comes after a moment, as from a server that checks its tables first.
    Ktsd server({"--refuse-login", "--login-delay", "500"});
    TZarinDatabase db;
    db.SetPort(server.port());
    EXPECT_EQ(connectError(db), QString());
    EXPECT_TRUE(db.Connected());  // the TCP connection was enough
    // The refused login takes the link set down; the component answers by deactivating.
    EXPECT_TRUE(waitUntil([&] { return !db.Connected(); }));
}

TEST(TZarinDatabase, DisconnectAsksTheSessionStateFirst) {
    struct Case {
        const char* flags;
        QList<int> kinds;
    };
    // 31 is answered with 268; 32 follows 33 when bit 1 of the answer is set; 17 says goodbye.
    // (Polls are left out: the one after 150 may cross the next request.)
    const Case cases[] = {{"2", {0, 31, 33, 32, 17}}, {"0", {0, 31, 33, 17}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        Ktsd server({"--session-flags", c.flags});
        TZarinDatabase db;
        db.SetPort(server.port());
        db.Client()->SetMaxConnecion(1);
        db.SetClientType(TClientType::Reports);
        ASSERT_EQ(connectError(db), QString());
        ASSERT_EQ(disconnectError(db), QString());
        EXPECT_FALSE(db.Connected());
        ASSERT_TRUE(server.waitForLog("packet kind 17"));
        QList<int> kinds = server.kinds();
        kinds.removeAll(11);
        EXPECT_EQ(kinds, c.kinds);
    }
}

TEST(TZarinDatabase, ServerErrorOnDisconnectLeavesTheSessionActive) {
    Ktsd server({"--answer-kind", "-16"});
    TZarinDatabase db;
    db.SetPort(server.port());
    ASSERT_EQ(connectError(db), QString());
    EXPECT_EQ(disconnectError(db), "Ошибка при захвате / освобождении сессии");
    EXPECT_TRUE(db.Connected());
    db.Client()->SetActive(false);
}

namespace {

// The old session's links report going down through a notice that the main thread sees only
// later; a reconnection made before that must not be taken down by it.
TEST(TZarinDatabase, ReconnectingAtOnceKeepsTheNewSession) {
    Ktsd server;
    TZarinDatabase db;
    db.SetPort(server.port());
    ASSERT_EQ(connectError(db), QString());
    ASSERT_EQ(disconnectError(db), QString());
    ASSERT_EQ(connectError(db), QString());
    testenv::pumpFor(500);
    EXPECT_TRUE(db.Connected());
    EXPECT_TRUE(db.Client()->Active());
}

}  // namespace
