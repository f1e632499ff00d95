// The demo database through the real ktsd: the pass codes documented for the demo operators come
// back from the sign-in query, decode to what an operator types and carry the right status; the
// marks kept as traps (expired, without the sign-in bit, of type 2, a code differing only in
// letter case) never do. The generator is deterministic.
#include "KtsdProcess.h"

#include "DemoDatabase.h"
#include "dataclient/UZTable.h"
#include "dataclient/ZarinDatabase.h"
#include "platform/DataSet.h"
#include "session/PassCode.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <map>

using namespace dataclient;
using namespace platform;

namespace {

// The sign-in query, line for line as the data module sends it.
const QStringList kSignInQuery = {
    "SELECT pMark.CodeP,pMark.Config,pList.Status FROM pMark JOIN pList ON pList.ID=pMark.Owner",
    "WHERE pMark.GType=1 ",
    "AND ((pMark.Config & 1024) <> 0) ",
    "AND GETDATE () BETWEEN Start AND Finish",
};

QString buildSmall(const QTemporaryDir& dir, const QString& name = "demo.sqlite") {
    const QString path = dir.filePath(name);
    QString error;
    EXPECT_TRUE(demodb::BuildDemoDatabase(path, {2000, 200}, &error)) << error.toStdString();
    return path;
}

TEST(DemoDatabase, OperatorCodesSurviveTheWireAndTrapsDoNotSignIn) {
    QTemporaryDir dir;
    testenv::Ktsd server({"--db", buildSmall(dir)});
    TZarinDatabase db;
    db.SetPort(server.port());
    db.SetConnected(true);
    TZTable table;
    table.SetZDBCommand(db.DBCommand());
    table.SetSQL(kSignInQuery);
    table.Open();
    ASSERT_TRUE(table.Active());

    // The column types the sign-in reads.
    const TFieldDefs& defs = table.FieldDefs();
    ASSERT_EQ(defs.Count(), 3);
    EXPECT_EQ(defs[0].DataType, ftString);
    EXPECT_EQ(defs[0].Size, 255);
    EXPECT_EQ(defs[1].DataType, ftInteger);
    EXPECT_EQ(defs[2].DataType, ftSmallint);

    // The first row delivered decides, as at the sign-in.
    std::map<QString, QVariant> statusByCode;
    for (table.First(); !table.Eof(); table.Next()) {
        const QString code =
            session::DecodePassCodeText(table.FieldByName("CODEP")->AsString().left(255),
                                        table.FieldByName("CONFIG")->AsInteger());
        TField* status = table.FieldByName("Status");
        statusByCode.try_emplace(code, status->IsNull() ? QVariant() : status->AsInteger());
    }
    EXPECT_GT(statusByCode.size(), 100u);  // the other people's cards are there too

    const struct {
        const char* typed;
        int status;  // 0: must not sign in
    } cases[] = {
        {"1001", 1},   {"Smena2", 2}, {"4004", 4}, {"5005", 0},  // expired
        {"6006", 0},                                             // Config without 1024
        {"7007", 0},                                             // a mark of type 2
        {"smena2", 0},                                           // letter case counts
        {"SMENA2", 0}, {"1001 ", 0},  {"", 0},
    };
    for (const auto& c : cases) {
        auto it = statusByCode.find(QString::fromUtf8(c.typed));
        if (c.status == 0) {
            EXPECT_EQ(it, statusByCode.end()) << c.typed;
        } else {
            ASSERT_NE(it, statusByCode.end()) << c.typed;
            EXPECT_EQ(it->second, QVariant(c.status)) << c.typed;
        }
    }
}

QByteArray digest(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

TEST(DemoDatabase, SameOptionsSameFileAndEventsOverFixedMonths) {
    QTemporaryDir dir;
    const QString a = buildSmall(dir, "a.sqlite");
    const QString b = buildSmall(dir, "b.sqlite");
    EXPECT_EQ(digest(a), digest(b));
    EXPECT_FALSE(QFile::exists(a + ".part"));

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(a.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw,
                                 "SELECT COUNT(*), MIN(EventTime), MAX(EventTime), "
                                 "SUM(Person IS NULL), (SELECT COUNT(*) FROM pList WHERE "
                                 "Status IS NULL) FROM EventLog",
                                 -1, &s, nullptr),
              SQLITE_OK);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(s, sqlite3_finalize);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), 2000);
    EXPECT_GE(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))),
              "2026-06-01 00:00:00");
    EXPECT_LT(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, 2))),
              "2026-12-01 00:00:00");
    EXPECT_GT(sqlite3_column_int(s, 3), 0);  // events without a person (door forced ...)
    EXPECT_GT(sqlite3_column_int(s, 4), 0);  // people without a status
}

TEST(DemoDatabase, UnwritableFolderFailsWithoutLeavingAFile) {
    QString error;
    EXPECT_FALSE(demodb::BuildDemoDatabase("/nonexistent-folder/demo.sqlite", {10, 10}, &error));
    EXPECT_TRUE(error.startsWith("/nonexistent-folder/demo.sqlite: ")) << error.toStdString();
}

}  // namespace
