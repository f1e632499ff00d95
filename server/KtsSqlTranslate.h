// The few SQL Server forms the report generator itself sends, rewritten into SQLite's dialect
// before ktsd prepares a statement. Only the forms in the table of KtsSqlTranslate.cpp are known;
// any other text passes unchanged, and SQLite's own error then goes back to the client.
//
// Thread contract: pure function; safe on any connection thread.
#pragma once

#include <QString>

namespace ktsd {

QString translateSql(const QString& sql);

}  // namespace ktsd
