// Commands: registration, request and wait, database-session requests.
#include "dataclient/UZCommands.h"

#include "dataclient/UZClientSession.h"
#include "platform/Exception.h"

namespace dataclient {

TZAbstractCommand::TZAbstractCommand(QObject* owner) : QObject(owner) {}

TZAbstractCommand::~TZAbstractCommand() {
    if (FZClient)
        FZClient->UnregisterCommand(this);
}

void TZAbstractCommand::SetZClient(TZClient* client) {
    if (FZClient)
        FZClient->UnregisterCommand(this);
    FZClient = client;
    if (client)
        client->RegisterCommand(this);
}

void TZCommand::ReplyArrived(PacketPtr packet) {
    // Only a waiting command takes a reply, and only the first one: a late reply, or the session's
    // give-up after the reply already came, must neither replace it nor wake the next request.
    if (!FWaiting)
        return;
    FReply = std::move(packet);
    FWaiting = false;
    FEvent.Set();
}

PacketPtr TZCommand::Execute(int32_t kind, const QByteArray& payload) {
    if (!ZClient() || !ZClient()->IsConnected())
        return nullptr;
    return ExecuteDirect(kind, payload);
}

bool TZCommand::PostRequest(int32_t kind, const QByteArray& payload) {
    TZClient* client = ZClient();
    if (!client)
        return false;
    SessionCore& s = *client->Core();
    PacketPtr packet = BuildPacket(s, kind, payload);
    std::lock_guard guard(s.FLock);
    // Without an active session no link and no keep-alive thread would ever answer or give up.
    if (!s.FActive || CommandId() == 0)
        return false;
    PushChain(*packet, CommandId());
    FReply.reset();
    FEvent.Reset();
    FWaiting = true;
    PostPacket(s, std::move(packet));
    return true;
}

PacketPtr TZCommand::ExecuteDirect(int32_t kind, const QByteArray& payload) {
    if (!PostRequest(kind, payload))
        return nullptr;
    FEvent.Wait();
    std::lock_guard guard(ZClient()->Core()->FLock);
    FWaiting = false;
    return std::move(FReply);
}

void TZDBCommand::ReplyArrived(PacketPtr packet) {
    if (FTable)
        FTable->TableReplyArrived(std::move(packet));
    else
        TZCommand::ReplyArrived(std::move(packet));
}

void TZDBCommand::SetTable(TZReplySink* table) {
    if (ZClient()) {
        std::lock_guard guard(ZClient()->Core()->FLock);
        FTable = table;
    } else {
        FTable = table;
    }
}

void TZDBCommand::OpenDBSession() {
    std::lock_guard guard(FCommandLock);
    ExecuteDirect(wire::kOpenDBSession);
}

void TZDBCommand::CloseDBSession() {
    std::lock_guard guard(FCommandLock);
    ExecuteDirect(wire::kCloseDBSession);
}

bool TZDBCommand::DBSessionState() {
    std::lock_guard guard(FCommandLock);
    PacketPtr reply = ExecuteDirect(wire::kDBSessionState);
    if (!reply)
        throw platform::Exception(QStringLiteral("Неожиданная ошибка"));
    if (reply->Kind() != wire::kSessionState)
        throw platform::Exception(ServerErrorText(std::move(reply)));
    return reply->PayloadSize() > 0 && (reply->Payload()[0] & wire::kSessionStateMustClose);
}

}  // namespace dataclient
