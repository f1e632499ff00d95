// The request table of ktsd: one handler per request kind. Keep-alive and poll produce nothing of
// their own (the request link then answers with whatever is pending, or 268); the database-session
// requests answer at once; queries run on SQLite (KtsQuery.cpp).
#include "KtsServer.h"

namespace ktsd {

using namespace dataclient;

void installHandlers(Server& server) {
    auto nothing = [](const Packet&) { return std::vector<PacketPtr>{}; };
    // The reply to 31 and 32 is discarded by the client; 268 also tells it nothing else follows,
    // so the request costs a single round trip.
    auto done = [&server](const Packet& request) {
        std::vector<PacketPtr> out;
        out.push_back(server.Reply(request, wire::kNothingPending));
        return out;
    };
    auto state = [&server](const Packet& request) {
        std::vector<PacketPtr> out;
        out.push_back(server.Reply(request, wire::kSessionState,
                                   QByteArray(1, char(server.options().sessionFlags))));
        return out;
    };
    auto query = [&server](const Packet& request) { return server.Query(request); };
    server.FHandlers = {
        {wire::kKeepAlive, nothing},   {wire::kPoll, nothing},         {wire::kOpenDBSession, done},
        {wire::kCloseDBSession, done}, {wire::kDBSessionState, state}, {wire::kQuery, query},
        {wire::kQueryRepair, query},   {wire::kExecRepair, query},
    };
}

}  // namespace ktsd
