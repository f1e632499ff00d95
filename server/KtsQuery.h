// ktsd's query side: runs the SQL of a query request (kinds 5, 29, 30) on SQLite and answers as
// the data server does: 133 with the column descriptors, the row stream cut into 134 packets
// (Sequence from 1, Final 255 on the last), 135 for a statement without a result set, -1 with
// SQLite's error text. Values are bound in marker order; text is Windows-1251 on the wire and
// UTF-8 in the database. docs/protocol.md describes the request and the result format.
//
// Thread contract: runQuery may be called from any connection thread; the caller serialises
// calls on one database connection (Server holds its query lock around it).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

struct sqlite3;

namespace ktsd {

struct QueryOptions {
    int rowPacketSize = 65536;    // payload bytes of a 134 packet (the last one may be shorter)
    bool rowsOutOfOrder = false;  // send the replies last first: rows 2 before 1, rows before 133
    bool cutRow = false;          // end the stream inside its last row
};

struct ReplyPart {
    int32_t kind = 0;
    QByteArray payload;
    int32_t sequence = 1;
    bool final = true;
};

// Takes replies as they are made; false stops the query (nobody is listening any more).
using ReplySink = std::function<bool(ReplyPart&&)>;

// The replies to one query request payload, in sending order. With a sink, a result whose column
// sizes are all known before its rows (no text without a declared size, no fault switch that
// reorders or cuts the stream) goes to the sink as it is made: the header, then each row packet
// as soon as it is full, so the first rows travel while later ones are still read. What is
// returned follows whatever the sink got.
std::vector<ReplyPart> runQuery(sqlite3* db, const QByteArray& request, const QueryOptions& options,
                                const ReplySink* sink = nullptr);

// The field-type code and size a declared column type maps to; type 0 when the declaration is
// unknown (the column is then typed from its first value).
struct ColumnType {
    uint8_t type = 0;
    int32_t size = 0;
};
ColumnType declaredColumnType(const QString& declaration);

}  // namespace ktsd
