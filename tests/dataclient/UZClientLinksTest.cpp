// The session's queue and routing without threads or sockets: hand-over to an idle link, order
// of queued packets, routing by command identity, aborting waiting commands.
#include "dataclient/UZClientLinks.h"
#include "dataclient/UZClientSession.h"
#include "dataclient/UZCommands.h"
#include "platform/Exception.h"

#include "TestEnv.h"

#include <gtest/gtest.h>

using namespace dataclient;

namespace {

PacketPtr packetOfKind(SessionCore& s, int32_t kind, uint8_t priority = 255) {
    PacketPtr p = BuildPacket(s, kind);
    p->SetPriority(priority);
    return p;
}

// Records what routing hands to it.
class Recorder : public TZAbstractCommand {
public:
    void ReplyArrived(PacketPtr packet) override {
        kinds.push_back(packet ? packet->Kind() : 0);
        if (packet)
            chainCounts.push_back(packet->ChainCount());
    }
    std::vector<int32_t> kinds;
    std::vector<int32_t> chainCounts;
};

}  // namespace

TEST(SessionQueue, BusyLinksLeaveRequestsInPostingOrder) {
    auto s = std::make_shared<SessionCore>();
    std::lock_guard guard(s->FLock);
    for (int32_t kind : {5, 29, 30})
        PostPacket(*s, packetOfKind(*s, kind));
    for (int32_t kind : {5, 29, 30}) {
        PacketPtr p = TakePacket(*s);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->Kind(), kind);
    }
    EXPECT_FALSE(TakePacket(*s));
}

TEST(SessionQueue, HigherPriorityLeavesFirstAndEqualOnesOldestFirst) {
    auto s = std::make_shared<SessionCore>();
    std::lock_guard guard(s->FLock);
    PostPacket(*s, packetOfKind(*s, 1, 10));
    PostPacket(*s, packetOfKind(*s, 2, 200));
    PostPacket(*s, packetOfKind(*s, 3, 200));
    PostPacket(*s, packetOfKind(*s, 4, 10));
    std::vector<int32_t> order;
    while (PacketPtr p = TakePacket(*s))
        order.push_back(p->Kind());
    EXPECT_EQ(order, (std::vector<int32_t>{2, 3, 1, 4}));
}

TEST(SessionQueue, AnIdleSendingLinkGetsThePacketAtOnce) {
    auto s = std::make_shared<SessionCore>();
    std::lock_guard guard(s->FLock);
    auto receiver = std::make_shared<TClientLink>(s, wire::kModeReceive);
    auto sender = std::make_shared<TClientLink>(s, wire::kModeSend);
    s->FLinks = {receiver, sender};
    receiver->Idle = true;  // receive links never send, idle or not
    sender->Idle = true;
    PostPacket(*s, packetOfKind(*s, 5));
    ASSERT_TRUE(sender->Outgoing);
    EXPECT_FALSE(sender->Idle);
    EXPECT_FALSE(receiver->Outgoing);
    EXPECT_TRUE(s->FQueue.empty());
    // Now every sending link is busy: the next one waits in the queue.
    PostPacket(*s, packetOfKind(*s, 29));
    EXPECT_EQ(s->FQueue.size(), 1u);
    s->FLinks.clear();
}

TEST(SessionRouting, RepliesFindTheirCommandByTheLastChainEntry) {
    TZClient client;
    Recorder a, b;
    a.SetZClient(&client);
    b.SetZClient(&client);
    ASSERT_NE(a.CommandId(), 0u);
    ASSERT_NE(a.CommandId(), b.CommandId());
    SessionCore& s = *client.Core();

    auto reply = [&](int32_t kind, std::vector<uint32_t> chain) {
        PacketPtr p = BuildPacket(s, kind);
        for (uint32_t id : chain)
            PushChain(*p, id);
        return p;
    };
    RoutePacket(s, reply(150, {a.CommandId(), b.CommandId()}));  // goes to b
    RoutePacket(s, reply(134, {b.CommandId(), a.CommandId()}));  // goes to a
    RoutePacket(s, reply(268, {}));                              // a notification: dropped
    RoutePacket(s, reply(133, {999999}));                        // nobody: dropped
    PacketPtr tooLong = reply(135, {a.CommandId()});
    tooLong->SetChainCount(6);
    RoutePacket(s, std::move(tooLong));
    EXPECT_EQ(b.kinds, std::vector<int32_t>{150});
    EXPECT_EQ(b.chainCounts, std::vector<int32_t>{1});
    EXPECT_EQ(a.kinds, std::vector<int32_t>{134});

    // An unregistered command's old identity routes nowhere.
    const uint32_t old = a.CommandId();
    a.SetZClient(nullptr);
    RoutePacket(s, reply(150, {old}));
    EXPECT_EQ(a.kinds.size(), 1u);

    std::lock_guard guard(s.FLock);
    AbortCommands(s);
    EXPECT_EQ(b.kinds, (std::vector<int32_t>{150, 0}));
    b.SetZClient(nullptr);
}

TEST(SessionRouting, ACommandWithoutAnActiveSessionDoesNotWait) {
    TZClient client;
    TZDBCommand command;
    EXPECT_FALSE(command.ExecuteDirect(31));  // no session at all
    command.SetZClient(&client);
    EXPECT_FALSE(command.ExecuteDirect(31));  // mended: an inactive session would never answer
    EXPECT_FALSE(command.Execute(31));
    try {
        command.DBSessionState();
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Неожиданная ошибка");
    }
}

TEST(SessionRouting, DestroyingTheSessionReleasesItsCommands) {
    TZDBCommand command;
    {
        TZClient client;
        command.SetZClient(&client);
        EXPECT_EQ(command.ZClient(), &client);
    }
    EXPECT_EQ(command.ZClient(), nullptr);
    EXPECT_EQ(command.CommandId(), 0u);
}
