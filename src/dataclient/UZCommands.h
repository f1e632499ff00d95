// Commands: the components through which the rest of the program talks to the data server over a
// session. A command registers with its session and gets a registration number, its identity on
// the wire: a request carries it in its chain, the server returns it unchanged, and the session
// routes the reply back by it. TZDBCommand is the command that database work goes through; the
// query side (result tables) plugs into it through TZReplySink.
//
// Thread contract:
//  - Commands are created, configured, executed and destroyed on the main thread.
//  - ReplyArrived runs on a link thread (routing) or on whichever thread aborts the session's
//    commands, always under the session lock.
//  - Constant after construction: FEvent. Guarded by the session lock: the registration (ZClient
//    link and identity), FWaiting, FReply.
#pragma once

#include "dataclient/UZAutoResetEvent.h"
#include "dataclient/UZPacket.h"

#include <QObject>

#include <mutex>

namespace dataclient {

class TZClient;

class TZAbstractCommand : public QObject {
    Q_OBJECT
public:
    explicit TZAbstractCommand(QObject* owner = nullptr);
    ~TZAbstractCommand() override;

    TZClient* ZClient() const { return FZClient; }
    // Unregisters from the old session, stores, registers with the new one.
    virtual void SetZClient(TZClient* client);
    // The reply for this command, or none when the session gives up on it.
    virtual void ReplyArrived(PacketPtr packet) = 0;

    // The identity this command has while registered (0 when not registered).
    uint32_t CommandId() const { return FCommandId; }

private:
    friend class TZClient;
    TZClient* FZClient = nullptr;
    uint32_t FCommandId = 0;
};

class TZCommand : public TZAbstractCommand {
    Q_OBJECT
public:
    using TZAbstractCommand::TZAbstractCommand;

    void ReplyArrived(PacketPtr packet) override;
    // None at once when there is no session or it is not connected; otherwise ExecuteDirect.
    virtual PacketPtr Execute(int32_t kind, const QByteArray& payload = {});
    // Sends a request and waits for its reply; the caller owns the reply. None when the session
    // is not active or gave up.
    PacketPtr ExecuteDirect(int32_t kind, const QByteArray& payload = {});

protected:
    // Builds a request carrying this command's identity and posts it; false when there is no
    // active session to carry it. The caller then waits on FEvent.
    bool PostRequest(int32_t kind, const QByteArray& payload);

    AutoResetEvent FEvent;
    bool FWaiting = false;  // guarded by the session lock
    PacketPtr FReply;       // guarded by the session lock
};

// Receives the replies of a query in progress (the result table of the query side).
class TZReplySink {
public:
    virtual ~TZReplySink() = default;
    // Runs under the session lock; none means the session gave up.
    virtual void TableReplyArrived(PacketPtr packet) = 0;
};

class TZDBCommand : public TZCommand {
    Q_OBJECT
    // A running query waits on FEvent and sets FWaiting itself, under its FTableLock.
    friend class TZTable;

public:
    using TZCommand::TZCommand;

    void ReplyArrived(PacketPtr packet) override;

    // Kind 31; the reply, or its absence, is discarded.
    void OpenDBSession();
    // Kind 32; likewise.
    void CloseDBSession();
    // Kind 33: whether the server wants kind 32 before disconnecting. Raises platform::Exception
    // with "Неожиданная ошибка" when no reply comes, or with the server's error text.
    bool DBSessionState();

    // Held by a query from its request to its last reply.
    std::recursive_mutex FCommandLock;
    // The table whose query is in progress; set and cleared under FCommandLock and the session
    // lock.
    void SetTable(TZReplySink* table);
    TZReplySink* Table() const { return FTable; }

private:
    TZReplySink* FTable = nullptr;
};

}  // namespace dataclient
