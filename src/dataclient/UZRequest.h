// The query request of request kinds 5, 29 and 30: the SQL text and the parameter values in the
// packed form the data server reads (docs/protocol.md), and the parameter list taken from the
// `:name` markers of the text. The request is built in one buffer whose size is computed first.
//
// Thread contract: pure functions over their arguments; the caller's thread (the main thread for
// tables).
#pragma once

#include "platform/Params.h"

#include <QByteArray>
#include <QStringList>

namespace dataclient {

// A `:name` parameter marker of an SQL text: where it starts (the colon), its length with the
// colon, and the name.
struct SQLMarker {
    qsizetype Position;
    qsizetype Length;
    QString Name;
};
// The markers outside quoted literals ('...' and "..."), in order; `::` is not a marker. The one
// lexical rule the client (building Params) and the stand-in server (binding values) share.
QList<SQLMarker> FindSQLMarkers(const QString& sql);

// Clears params and adds one parameter (type unknown) per `:name` marker outside quoted literals,
// in order of appearance; `::` is not a marker. A name may repeat: the first parameter of a name
// carries the value of all its markers (see BuildQueryRequest).
void ParseSQLParams(const QString& sql, platform::TParams& params);

// The SQL lines as sent: each line in code page 1251 followed by CR LF.
QByteArray SQLText(const QStringList& lines);

// The request payload. Raises platform::EDatabaseError with the table's message texts for a
// non-null parameter of an unsupported type or a bad byte-array value, before anything is built.
QByteArray BuildQueryRequest(const QStringList& lines, const platform::TParams& params);

}  // namespace dataclient
