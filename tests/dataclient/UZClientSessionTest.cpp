// The client session against the real ktsd: links and their roles, login record on the wire,
// validation failures, keep-alive and input time-out, reconnection of a broken link set, requests
// and polling, deactivation while a link is blocked in a read.
#include "KtsdProcess.h"

#include "dataclient/UZClientSession.h"
#include "dataclient/UZCommands.h"
#include "dataclient/UZarinTCPConnection.h"
#include "platform/Exception.h"

#include "TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dataclient;
using testenv::EventLog;
using testenv::Ktsd;
using testenv::waitUntil;

namespace {

// A session wired to a factory that points at the given server.
struct Session {
    explicit Session(const Ktsd& server, uint32_t links = 2) {
        factory.SetPort(server.port());
        client.SetConnectionFactory(&factory);
        client.SetMaxConnecion(links);
        client.SetClientType(TClientType::Reports);
        client.SetReconnectPauseMs(200);
        command.SetZClient(&client);
    }
    ~Session() { client.SetActive(false); }

    TZarinTCPClientConnectionFactory factory;
    TZClient client;
    TZDBCommand command;
};

QString loginField(const QString& line, const QString& name) {
    QRegularExpression re(name + "=(\"[^\"]*\"|\\S+)");
    auto m = re.match(line);
    return m.hasMatch() ? m.captured(1) : QString();
}

}  // namespace

TEST(TZClientLinks, RolesFollowMaxConnecionAndShareOneGuid) {
    struct Case {
        uint32_t links;
        QStringList modes;  // sorted
    };
    const Case cases[] = {{1, {"0"}}, {2, {"0", "2"}}, {4, {"0", "1", "2", "2"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.links);
        Ktsd server;
        ASSERT_NE(server.port(), 0);
        Session s(server, c.links);
        EventLog events(s.client);
        s.client.SetActive(true);
        ASSERT_TRUE(server.waitForLog(" login ", int(c.links)));
        ASSERT_TRUE(waitUntil([&] { return events.count("accept") == 1; }));
        QStringList modes, guids;
        for (const QString& line : server.logins()) {
            modes << loginField(line, "mode");
            guids << loginField(line, "guid");
        }
        std::sort(modes.begin(), modes.end());
        EXPECT_EQ(modes, c.modes);
        guids.removeDuplicates();
        EXPECT_EQ(guids.size(), 1);
        EXPECT_EQ(s.client.LinkCount(), int(c.links));
        EXPECT_EQ(events.count("connect"), 1);
    }
}

TEST(TZClientLinks, LoginRecordOnTheWireAndGoodbyeOnDeactivation) {
    Ktsd server;
    Session s(server, 2);
    s.client.SetClientName("ОператорСмены-1234567890ABCDEF");  // 30 characters
    s.client.SetPassWord("123456789XYZ");                      // 12 characters
    EXPECT_EQ(s.client.ClientName(), "ОператорСмены-1234567");
    EXPECT_EQ(s.client.ClientName().size(), 21);
    s.client.SetActive(true);
    ASSERT_TRUE(server.waitForLog(" login ", 2));
    const QString line = server.logins().first();
    EXPECT_EQ(loginField(line, "name"), "\"ОператорСмены-1234567\"");
    EXPECT_EQ(loginField(line, "password"), "\"123456789\"");
    EXPECT_EQ(loginField(line, "type"), "3");
    EXPECT_TRUE(line.endsWith("-> 265") || line.endsWith("-> 266")) << line.toStdString();

    s.client.SetActive(false);
    EXPECT_FALSE(s.client.Active());
    EXPECT_EQ(s.client.LinkCount(), 0);
    ASSERT_TRUE(server.waitForLog("packet kind 17"));
    EXPECT_EQ(server.count("packet kind 17"), 1);  // on the request link only
}

TEST(TZClientLinks, SettingIdentityDeactivates) {
    Ktsd server;
    Session s(server, 1);
    s.client.SetActive(true);
    ASSERT_TRUE(s.client.Active());
    s.client.SetClientType(TClientType::Any);
    EXPECT_FALSE(s.client.Active());
    s.client.SetActive(true);
    s.client.SetMaxConnecion(3);
    EXPECT_FALSE(s.client.Active());
    // Without a factory activation is ignored.
    s.client.SetConnectionFactory(nullptr);
    s.client.SetActive(true);
    EXPECT_FALSE(s.client.Active());
}

TEST(TZClientLinks, BadPacketsEndTheConversationWithTheirText) {
    struct Case {
        const char* fault;
        QString text;
    };
    const Case cases[] = {
        {"length", "Ошибка длины принятого пакета"},
        {"check", "Ошибка длины принятого пакета"},
        {"huge", "Ошибка длины принятого пакета"},  // mended: refused, not allocated
        {"name", "Ошибка длины имени клиента"},
        {"checksum", "Ошибка контрольной суммы в принятом пакете"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Ktsd server({"--corrupt-login", c.fault});
        Session s(server, 2);
        EventLog events(s.client);
        s.client.SetActive(true);
        // The set reconnects every 200 ms; a busy main thread may take two rounds' notices at
        // once, so the first round is waited for, not an exact count.
        ASSERT_TRUE(waitUntil([&] { return events.count("disconnect") >= 1; }))
            << events.events.join(", ").toStdString();
        ASSERT_FALSE(events.errors().isEmpty());
        EXPECT_EQ(events.errors().first(), "error:" + c.text);
        EXPECT_EQ(events.count("accept"), 0);
    }
}

TEST(TZClientLinks, RefusedLoginTakesTheSetDownWithoutAMessage) {
    Ktsd server({"--refuse-login"});
    Session s(server, 2);
    EventLog events(s.client);
    s.client.SetActive(true);
    // As above: the first round of the reconnecting set is the one looked at.
    ASSERT_TRUE(waitUntil([&] { return events.count("disconnect") >= 1; }));
    const QStringList firstRound = events.events.mid(0, events.events.indexOf("disconnect") + 1);
    EXPECT_EQ(firstRound, QStringList({"connect", "disconnect"}));
    EXPECT_EQ(events.count("accept"), 0);
    EXPECT_TRUE(events.errors().isEmpty()) << events.events.join(", ").toStdString();
}

TEST(TZClientLinks, KeepAliveHoldsASilentSessionOpen) {
    Ktsd server;
    Session s(server, 2);
    EventLog events(s.client);
    s.client.SetTimeControlOut(1);
    s.client.SetTimeControlIn(3);
    s.client.SetActive(true);
    // Without the keep-alives and their answers the input time-out would close the links at 4 s.
    ASSERT_TRUE(server.waitForLog("packet kind 1\n", 2, 8000));
    EXPECT_TRUE(events.errors().isEmpty()) << events.events.join(", ").toStdString();
    EXPECT_EQ(events.count("disconnect"), 0);
    EXPECT_TRUE(s.client.IsAccepted());
}

TEST(TZClientLinks, InputTimeOutClosesEveryLink) {
    Ktsd server({"--silent"});
    Session s(server, 2);
    EventLog events(s.client);
    s.client.SetTimeControlOut(0);
    s.client.SetTimeControlIn(1);
    s.client.SetActive(true);
    ASSERT_TRUE(waitUntil([&] { return events.count("disconnect") == 1; }, 6000));
    EXPECT_EQ(events.errors(), QStringList{"error:Соединение закрыто по таймауту"});
    EXPECT_EQ(s.client.LinkCount(), 0);
}

TEST(TZClientLinks, BrokenSetReconnectsTogetherWithANewGuid) {
    // The request link is dropped by the server at its first keep-alive.
    Ktsd server({"--close-after", "2"});
    Session s(server, 2);
    EventLog events(s.client);
    s.client.SetTimeControlOut(1);
    s.client.SetActive(true);
    ASSERT_TRUE(waitUntil([&] { return events.count("accept") == 1; }));
    const SessionGuid first = s.client.CurrentSessionGuid();
    ASSERT_TRUE(waitUntil([&] { return events.count("accept") == 2; }, 8000));
    EXPECT_GE(events.count("disconnect"), 1);
    EXPECT_NE(s.client.CurrentSessionGuid(), first);
    ASSERT_TRUE(server.waitForLog(" login ", 4));
    const QStringList logins = server.logins();
    // Both links of the second set log in with the same new GUID.
    EXPECT_EQ(loginField(logins[0], "guid"), loginField(logins[1], "guid"));
    EXPECT_EQ(loginField(logins[2], "guid"), loginField(logins[3], "guid"));
    EXPECT_NE(loginField(logins[0], "guid"), loginField(logins[2], "guid"));
}

TEST(TZClientLinks, WithoutDisconnectOnErrorALinkRecoversAlone) {
    Ktsd server({"--close-after", "2"});
    Session s(server, 2);
    EventLog events(s.client);
    s.client.SetDisconnectOnError(false);
    s.client.SetTimeControlOut(1);
    s.client.SetActive(true);
    ASSERT_TRUE(waitUntil([&] { return events.count("accept") == 1; }));
    const SessionGuid guid = s.client.CurrentSessionGuid();
    // The request link logs in again into the same session, which the server answers with 266.
    ASSERT_TRUE(server.waitForLog("mode=0", 2, 8000));
    const QString again = server.logins().last();
    EXPECT_TRUE(again.endsWith("-> 266")) << again.toStdString();
    EXPECT_EQ(events.count("disconnect"), 0);
    EXPECT_EQ(s.client.CurrentSessionGuid(), guid);
    EXPECT_FALSE(events.errors().isEmpty());  // the dropped link is reported
}

TEST(TZClientLinks, RequestsArePolledUntilNothingIsPending) {
    for (bool onReceiveLink : {false, true}) {
        SCOPED_TRACE(onReceiveLink);
        Ktsd server(onReceiveLink ? QStringList{"--reply-on-receive-link"} : QStringList{});
        Session s(server, 2);
        s.client.SetActive(true);
        ASSERT_TRUE(server.waitForLog(" login ", 2));
        ASSERT_TRUE(waitUntil([&] { return s.client.IsAccepted(); }));
        // 150 is not 268, so the request link polls once; 268 ends the polling.
        EXPECT_TRUE(s.command.DBSessionState());
        if (!onReceiveLink) {
            ASSERT_TRUE(server.waitForLog("packet kind 11"));
        }
        PacketPtr reply = s.command.ExecuteDirect(31);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->Kind(), 268);
        EXPECT_EQ(reply->ChainCount(), 0);  // the routing took its entry
        const QList<int> expected =
            onReceiveLink ? QList<int>{0, 0, 33, 31} : QList<int>{0, 0, 33, 11, 31};
        EXPECT_EQ(server.kinds(), expected);
    }
}

TEST(TZClientLinks, ServerErrorReplyBecomesTheCommandsException) {
    Ktsd server({"--answer-kind", "-1"});
    Session s(server, 1);
    s.client.SetActive(true);
    ASSERT_TRUE(waitUntil([&] { return s.client.IsAccepted(); }));
    try {
        s.command.DBSessionState();
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "При выполнении SQL запроса возникла ошибка: отказ ktsd");
    }
    EXPECT_TRUE(s.client.Active());
}

TEST(TZClientLinks, DeactivationWakesALinkBlockedInARead) {
    Ktsd server({"--silent"});
    Session s(server, 2);
    EventLog events(s.client);
    s.client.SetTimeControlOut(1);
    s.client.SetTimeControlIn(0);
    s.client.SetActive(true);
    // The keep-alive goes out and its answer never comes: the request link sits in a read.
    ASSERT_TRUE(server.waitForLog("packet kind 1\n"));
    s.client.SetActive(false);
    EXPECT_EQ(s.client.LinkCount(), 0);
    EXPECT_FALSE(s.client.IsConnected());
    testenv::pumpFor(100);
    // Links closed on purpose report nothing.
    EXPECT_TRUE(events.errors().isEmpty()) << events.events.join(", ").toStdString();
}

TEST(TZClientLinks, AsyncConnectOffWaitsForTheAcceptedLogin) {
    Ktsd server;
    Session s(server, 2);
    s.client.SetAsyncConnect(false);
    s.client.SetSyncWait(TSyncWait::swAccept);
    s.client.SetActive(true);
    EXPECT_TRUE(s.client.Active());
    EXPECT_TRUE(s.client.IsAccepted());
}
