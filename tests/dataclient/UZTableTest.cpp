// Result tables against the real ktsd: rows and types end to end, parameters bound in marker
// order, packets cut small, out of order or through a receive link, statements without a result
// set, server errors -1 and -3, field checks, and a connection dropped in the middle of a result.
#include "KtsdProcess.h"

#include "dataclient/UZTable.h"
#include "dataclient/ZarinDatabase.h"
#include "platform/Cp1251.h"
#include "platform/DataSet.h"
#include "platform/DataSource.h"
#include "platform/DateTime.h"

#include "DataSetDump.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

using namespace dataclient;
using namespace platform;
using testenv::Ktsd;

namespace {

const QStringList kSchema = {
    "CREATE TABLE pList (ID INTEGER PRIMARY KEY, Name VARCHAR(30), Status SMALLINT, Active BIT,",
    "  Salary MONEY, Born DATETIME, Note VARCHAR(10), Memo TEXT);",
    "INSERT INTO pList VALUES (1, 'Иванов', 1, 1, 12.5, '1980-02-03 04:05:06', 'a:b', 'm');",
    "INSERT INTO pList VALUES (2, '', 2, 0, NULL, NULL, NULL, NULL);",
    "INSERT INTO pList VALUES (3, NULL, NULL, NULL, 0, '2001-01-01 00:00:00', 'x', NULL);",
};

// A connected database with the people table, on a ktsd started with the given switches.
struct Fixture {
    explicit Fixture(const QStringList& switches = {}) : server(switches) {
        db.SetPort(server.port());
        db.SetConnected(true);
    }
    std::unique_ptr<TZTable> table(const QStringList& sql) {
        auto t = std::make_unique<TZTable>();
        t->setObjectName("tbl");
        t->SetZDBCommand(db.DBCommand());
        t->SetSQL(sql);
        return t;
    }
    void createSchema() {
        auto t = table(kSchema);
        t->ExecSQL();
        ASSERT_FALSE(t->Active());
    }
    Ktsd server;
    TZarinDatabase db;
};

using testenv::dump;

QString openError(TZTable& t) {
    try {
        t.Open();
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

const char* kSelect = "SELECT ID, Name, Status, Active, Salary, Note FROM pList ORDER BY ID";
const QStringList kRows = {"1|Иванов|1|True|12.5|a:b", "2||2|False|~|~", "3|~|~|~|0|x"};

TEST(TZTable, RowsAndColumnTypesEndToEnd) {
    Fixture f;
    f.createSchema();
    // TEXT and text expressions have no declared size: they get their longest value's, since a
    // string field shows no more than its size.
    auto t = f.table({"SELECT ID, Name, Status, Active, Salary, Born, Note, Memo,",
                      "  ID * 2 AS Twice, 'abc' AS Lit, 1.5 AS Half, 5000000000 AS Big",
                      "FROM pList ORDER BY ID"});
    ASSERT_EQ(openError(*t), QString());
    ASSERT_TRUE(t->Active());
    struct Expect {
        const char* name;
        TFieldType type;
        int size;
    };
    const Expect columns[] = {
        {"ID", ftInteger, 0},     {"Name", ftString, 30},    {"Status", ftSmallint, 0},
        {"Active", ftBoolean, 0}, {"Salary", ftCurrency, 0}, {"Born", ftDateTime, 0},
        {"Note", ftString, 10},   {"Memo", ftString, 1},     {"Twice", ftInteger, 0},
        {"Lit", ftString, 3},     {"Half", ftFloat, 0},      {"Big", ftLargeint, 0}};
    ASSERT_EQ(t->FieldDefs().Count(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(t->FieldDefs()[i].Name, columns[i].name);
        EXPECT_EQ(t->FieldDefs()[i].DataType, columns[i].type) << columns[i].name;
        EXPECT_EQ(t->FieldDefs()[i].Size, columns[i].size) << columns[i].name;
    }
    t->First();
    int y, m, d, h, n, s, ms;
    DecodeDate(t->FieldByName("Born")->AsDateTime(), y, m, d);
    DecodeTime(t->FieldByName("Born")->AsDateTime(), h, n, s, ms);
    EXPECT_EQ(QList<int>({y, m, d, h, n, s}), QList<int>({1980, 2, 3, 4, 5, 6}));
    t->Close();
    t->SetSQL({kSelect});
    ASSERT_EQ(openError(*t), QString());
    EXPECT_EQ(dump(*t), kRows);
}

TEST(TZTable, PacketsCutSmallOutOfOrderOrThroughAReceiveLink) {
    // Seven-byte row packets cut bitmaps, length prefixes and values; out of order the rows come
    // before the header and 2 before 1.
    const QList<QStringList> switches = {{"--row-packet-size", "7"},
                                         {"--row-packet-size", "3", "--rows-out-of-order"},
                                         {"--row-packet-size", "5", "--reply-on-receive-link"}};
    for (const QStringList& sw : switches) {
        SCOPED_TRACE(sw.join(' ').toStdString());
        Fixture f(sw);
        f.createSchema();
        auto t = f.table({kSelect});
        ASSERT_EQ(openError(*t), QString());
        EXPECT_EQ(dump(*t), kRows);
    }
}

// A result with declared columns is sent while it is read, ahead of the client's polls; the
// link must come out of it in step: the next requests get their own answers, not stale ones.
TEST(TZTable, StreamedResultLeavesTheLinkInStep) {
    Fixture f({"--row-packet-size", "64"});
    f.table({"CREATE TABLE big (ID INTEGER, Name VARCHAR(20));",
             "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3000)",
             "INSERT INTO big SELECT x, 'строка ' || x FROM c;"})
        ->ExecSQL();
    auto t = f.table({"SELECT ID, Name FROM big ORDER BY ID"});
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(openError(*t), QString());
        EXPECT_EQ(t->RecCount(), 3000);
        t->Last();
        EXPECT_EQ(t->FieldByName("Name")->AsString(), "строка 3000");
        EXPECT_TRUE(f.db.DBCommand()->DBSessionState());  // kind 150 with bit 2: its own answer
        auto count = f.table({"SELECT COUNT(*) AS N FROM big"});
        ASSERT_EQ(openError(*count), QString());
        EXPECT_EQ(count->FieldByName("N")->AsInteger(), 3000);
        t->Close();
    }
}

TEST(TZTable, ParametersBoundInMarkerOrder) {
    Fixture f;
    f.createSchema();
    // A marker inside a literal is not a marker; a repeated name takes the first one's value.
    auto t =
        f.table({"SELECT ID, Note FROM pList", "WHERE (ID = :id OR ID = :other OR Note = ':x')",
                 "  AND (Name IS NULL OR Name <> :name) AND :id > 0 ORDER BY ID"});
    ASSERT_EQ(t->Params().Count(), 4);
    t->ParamByName("id").SetAsInteger(1);
    t->ParamByName("other").SetAsInteger(3);
    t->ParamByName("name").SetAsString("Петров");
    ASSERT_EQ(openError(*t), QString());
    EXPECT_EQ(dump(*t), QStringList({"1|a:b", "3|x"}));
    t->Close();
    // A null parameter compares as SQL NULL: only the row without a name is left.
    t->ParamByName("name").Clear();
    ASSERT_EQ(openError(*t), QString());
    EXPECT_EQ(dump(*t), QStringList{"3|x"});
}

TEST(TZTable, ServerTranslatesTheProgramsOwnForms) {
    Fixture f;
    f.createSchema();
    struct Case {
        const char* sql;
        QStringList rows;
    };
    const Case cases[] = {
        {"SELECT TOP 2 [ID] FROM dbo.pList ORDER BY ID", {"1", "2"}},
        {"SELECT name FROM dbo.sysobjects WHERE OBJECTPROPERTY(id, N'IsUserTable') = 1", {"pList"}},
        {"EXEC [srv].db.dbo.sp_executesql N'SELECT Note FROM pList WHERE Note = ''x'''", {"x"}},
    };
    for (const Case& c : cases) {
        auto t = f.table({c.sql});
        ASSERT_EQ(openError(*t), QString()) << c.sql;
        EXPECT_EQ(dump(*t), c.rows) << c.sql;
    }
}

TEST(TZTable, StreamCutInsideTheLastRowKeepsItAsRead) {
    Fixture f({"--cut-row"});
    f.createSchema();
    auto t = f.table({"SELECT ID, Salary FROM pList ORDER BY ID"});
    ASSERT_EQ(openError(*t), QString());
    // Row 3 is a bitmap, ID and Salary (13 bytes); the cut leaves the bitmap and ID whole.
    EXPECT_EQ(dump(*t), QStringList({"1|12.5", "2|~", "3|0"}));
}

TEST(TZTable, StatementWithoutResultSetLeavesTheTableClosed) {
    Fixture f;
    f.createSchema();
    auto t = f.table({"UPDATE pList SET Status = :s WHERE ID = 2"});
    t->ParamByName("s").SetAsInteger(4);
    int before = 0;
    t->OnBeforeExecSQL = [&](TZTable*) { ++before; };
    t->ExecSQL();
    EXPECT_EQ(before, 1);
    EXPECT_FALSE(t->Active());
    // The same through request kind 30.
    t->RepairSQL = true;
    t->ParamByName("s").SetAsInteger(5);
    t->ExecSQL();
    EXPECT_FALSE(t->Active());
    auto check = f.table({"SELECT Status FROM pList WHERE ID = 2"});
    check->RepairSQL = true;  // kind 29
    ASSERT_EQ(openError(*check), QString());
    EXPECT_EQ(dump(*check), QStringList{"5"});
}

TEST(TZTable, ServerErrorsRaiseAndReleaseTheCommand) {
    Fixture f;
    auto t = f.table({"SELECT * FROM nowhere"});
    EXPECT_EQ(openError(*t), "no such table: nowhere");
    EXPECT_FALSE(t->Active());
    EXPECT_EQ(f.db.DBCommand()->Table(), nullptr);
    // The command is free again: the next query runs.
    t->SetSQL({"SELECT 1 AS One"});
    ASSERT_EQ(openError(*t), QString());
    EXPECT_EQ(dump(*t), QStringList{"1"});
}

TEST(TZTable, OtherErrorCodesRaiseInsteadOfWaitingForever) {
    struct Case {
        const char* kind;
        QString error;
    };
    const Case cases[] = {
        {"-4", "Запрос не поддерживается"},
        {"-9", "Неверная структура запроса"},
        // A header that is not one: the query ends instead of decoding garbage.
        {"133", "TZTable.SetActive: Неверный формат результата запроса"},
    };
    for (const Case& c : cases) {
        Fixture f({"--answer-kind", c.kind});
        auto t = f.table({"SELECT 1"});
        EXPECT_EQ(openError(*t), c.error) << c.kind;
        EXPECT_FALSE(t->Active());
    }
}

TEST(TZTable, DatabaseThatCannotBeOpenedAnswersMinus3) {
    Fixture f({"--db", "/nonexistent/folder/ktsd.sqlite"});
    auto t = f.table({"SELECT 1"});
    EXPECT_EQ(openError(*t), "Ошибка при получении соединения с базой данных");
    EXPECT_FALSE(t->Active());
}

TEST(TZTable, CheckValidFields) {
    Fixture f;
    f.createSchema();
    struct Case {
        const char* what;
        TFieldType type;
        const char* name;
        int size;
        bool required;
        QString error;  // empty: opens
    };
    const QString prefix = "TZTable.CheckValidFields (tbl): ";
    const Case cases[] = {
        {"integer matches autoinc? (the column is integer)", ftAutoInc, "ID", 0, false, ""},
        {"string of size 0 matches any size", ftString, "Name", 0, false, ""},
        {"name case is ignored", ftInteger, "id", 0, false, ""},
        {"no such column", ftInteger, "Missing", 0, false, prefix + "Задано лишнее поле: fld"},
        {"type", ftString, "ID", 0, false,
         prefix + "Несовпадение типа у заданного и табличного полей ID"},
        {"size", ftString, "Name", 10, false,
         prefix + "Несовпадение размера у заданного и табличного полей Name"},
        {"required flag never matches", ftInteger, "ID", 0, true,
         prefix + "Несовпадение признака обязательности у заданного и табличного полей ID"},
    };
    for (const Case& c : cases) {
        auto t = f.table({"SELECT ID, Name FROM pList"});
        t->RepairFSL = false;
        TField* field = CreateFieldOfType(c.type, t.get(), c.size);
        field->setObjectName("fld");
        field->FieldName = c.name;
        field->Required = c.required;
        field->SetDataSet(t.get());
        EXPECT_EQ(openError(*t), c.error) << c.what;
        EXPECT_EQ(t->Active(), c.error.isEmpty()) << c.what;
    }
}

TEST(TZTable, DetailFollowsItsMaster) {
    Fixture f;
    f.createSchema();
    auto marks = f.table({"CREATE TABLE pMark (ID INTEGER, Owner INTEGER);",
                          "INSERT INTO pMark VALUES (10, 1), (11, 1), (20, 2);"});
    marks->ExecSQL();
    auto master = f.table({"SELECT ID FROM pList ORDER BY ID"});
    TDataSource source;
    source.SetDataSet(master.get());
    auto detail = f.table({"SELECT ID FROM pMark WHERE Owner = :ID ORDER BY ID"});
    detail->SetDataSource(&source);
    ASSERT_EQ(openError(*master), QString());
    ASSERT_EQ(openError(*detail), QString());
    QStringList seen;
    for (master->First(); !master->Eof(); master->Next())
        seen << dump(*detail).join(',');
    EXPECT_EQ(seen, QStringList({"10,11", "20", ""}));
    // The parameter stayed unbound: it is taken from the master again on every refresh.
    EXPECT_FALSE(detail->Params()[0].Bound);
    master->Close();
    EXPECT_TRUE(detail->Active());  // a closed master leaves the detail as it was

    // A master that already follows the detail would close a circle.
    TDataSource detailSource;
    detailSource.SetDataSet(detail.get());
    try {
        master->SetDataSource(&detailSource);
        ADD_FAILURE() << "no exception";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tbl: Circular datalinks are not allowed");
    }
    EXPECT_EQ(master->DataSource(), nullptr);
}

TEST(TZTable, DetailBindsTheColumnsOfAReopenedMaster) {
    Fixture f;
    f.createSchema();
    auto master = f.table({"SELECT ID AS K FROM pList ORDER BY ID"});
    TDataSource source;
    source.SetDataSet(master.get());
    auto detail = f.table({"SELECT typeof(:K) AS T, :K AS V"});
    detail->SetDataSource(&source);
    ASSERT_EQ(openError(*master), QString());
    ASSERT_EQ(openError(*detail), QString());
    EXPECT_EQ(dump(*detail), QStringList({"integer|1"}));
    // The master comes back with another column under the same name: the detail follows it.
    master->SetSQL({"SELECT Name AS K FROM pList ORDER BY ID"});
    EXPECT_TRUE(detail->Active());
    ASSERT_EQ(openError(*master), QString());
    EXPECT_EQ(detail->Params()[0].DataType, ftString);
    EXPECT_EQ(dump(*detail), QStringList({"text|Иванов"}));
    // And without that column the detail says which one it misses.
    detail->Close();
    master->SetSQL({"SELECT ID AS Other FROM pList"});
    ASSERT_EQ(openError(*master), QString());
    EXPECT_EQ(openError(*detail), "tbl: Field 'K' not found");
}

// The report engine drives its tables through TDataSet&: the table's own opening must run.
TEST(TZTable, OpeningThroughTheDataSetRunsTheQuery) {
    Fixture f;
    f.createSchema();
    auto t = f.table({kSelect});
    TDataSet& ds = *t;
    ds.Open();
    ASSERT_TRUE(ds.Active());
    EXPECT_EQ(dump(ds), kRows);
    ds.Close();
    EXPECT_FALSE(t->Active());
    // A statement without a result set leaves it closed, not open on nothing.
    t->SetSQL({"UPDATE pList SET Note = Note WHERE ID = 1"});
    ds.Open();
    EXPECT_FALSE(ds.Active());
    ds.SetActive(true);
    EXPECT_FALSE(ds.Active());
}

// The server reads the usual date forms and converts text to the wire without the general
// codec; both must agree with it, and odd values must still take the general road.
TEST(TZTable, DatesAndTextReachTheWireAsTheCodecGivesThem) {
    Fixture f;
    const QStringList dates = {"1980-02-03 04:05:06",
                               "2024-02-29 23:59:59.999",
                               "2026-06-01",
                               "2026-06-01T07:08:09",
                               "0001-01-01 00:00:00",
                               "2021-02-29 10:00:00",
                               "2026-13-01",
                               "12:30:00",
                               "junk"};
    // SQL expressions, so that text the client could not send reaches the database too.
    const QList<QPair<QString, QString>> texts = {
        {"''", ""},
        {"'plain'", "plain"},
        {"'Иванов Ёжик'", "Иванов Ёжик"},
        {"'€ № ™'", "€ № ™"},
        {"'a' || char(128512) || 'b'", "a?b"},  // outside the basic plane: one '?'
        {"'caf' || char(233)", "caf?"},         // no Windows-1251 byte
        {"CAST(x'41C3' AS TEXT)", "A?"},        // malformed UTF-8
    };
    QStringList sql = {"CREATE TABLE d (n INTEGER, v DATETIME, t VARCHAR(20));"};
    for (int i = 0; i < dates.size(); ++i)
        sql << QStringLiteral("INSERT INTO d VALUES (%1, '%2', %3);")
                   .arg(i)
                   .arg(dates[i], texts.value(i, {"NULL", ""}).first);
    f.table(sql)->ExecSQL();
    auto t = f.table({"SELECT v, t FROM d ORDER BY n"});
    ASSERT_EQ(openError(*t), QString());
    int i = 0;
    for (t->First(); !t->Eof(); t->Next(), ++i) {
        QString iso = dates[i];
        QDateTime dt = QDateTime::fromString(iso.replace(u' ', u'T'), Qt::ISODateWithMs);
        if (!dt.isValid() && QTime::fromString(dates[i], Qt::ISODate).isValid())
            dt = QDateTime(QDate(1899, 12, 30), QTime::fromString(dates[i], Qt::ISODate));
        if (!dt.isValid() && QDate::fromString(dates[i], Qt::ISODate).isValid())
            dt = QDateTime(QDate::fromString(dates[i], Qt::ISODate), QTime(0, 0));
        TField* v = t->FieldByName("v");
        EXPECT_EQ(v->IsNull(), !dt.isValid()) << dates[i].toStdString();
        if (dt.isValid()) {
            EXPECT_EQ(v->AsDateTime(), QDateTimeToDateTime(dt)) << dates[i].toStdString();
        }
        EXPECT_EQ(t->FieldByName("t")->AsString(), texts.value(i).second) << i;
    }
    EXPECT_EQ(i, dates.size());
}

TEST(TZTable, NoSessionSendsNothing) {
    TZTable t;
    t.SetSQL({"SELECT 1"});
    EXPECT_EQ(openError(t), QString());
    EXPECT_FALSE(t.Active());
    TZarinDatabase db;  // not connected: its session is not active
    t.SetZDBCommand(db.DBCommand());
    EXPECT_EQ(openError(t), QString());
    EXPECT_FALSE(t.Active());
}

TEST(TZTable, ConnectionDroppedMidResultLeavesTheTableClosedAndEmpty) {
    Fixture f({"--row-packet-size", "16", "--drop-after-rows", "2"});
    f.createSchema();
    auto t = f.table({kSelect});
    EXPECT_EQ(openError(*t), QString());
    EXPECT_FALSE(t->Active());
    EXPECT_EQ(t->RecCount(), 0);
    EXPECT_EQ(t->Blocks().LiveCount(), 0u);
    EXPECT_TRUE(t->MemFieldDefs().empty());
}

}  // namespace
