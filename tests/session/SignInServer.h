// A real ktsd holding the two tables the sign-in reads (people with a status, marks with stored
// pass codes and validity periods), seeded through the client library as a test needs them.
// Shared by the session and main-window tests.
#pragma once

#include "KtsdProcess.h"

#include "dataclient/UZTable.h"
#include "dataclient/ZarinDatabase.h"
#include "platform/Cp1251.h"
#include "session/PassCode.h"

#include <QStringList>
#include <optional>

namespace testenv {

class SignInServer {
public:
    static constexpr int kValid = 1024;  // Config bit of marks that may sign in
    static constexpr int kDifference = session::PassCodeDifferenceForm;

    explicit SignInServer(bool withMarks = true) {
        FSeed.SetPort(FServer.port());
        FSeed.SetConnected(true);
        exec({"CREATE TABLE pList (ID INTEGER PRIMARY KEY, Status INTEGER);"});
        if (withMarks)
            exec({"CREATE TABLE pMark (ID INTEGER PRIMARY KEY, Owner INTEGER, GType INTEGER,",
                  "  Config INTEGER, CodeP VARCHAR(255), Start DATETIME, Finish DATETIME);"});
    }

    quint16 port() const { return FServer.port(); }
    Ktsd& server() { return FServer; }

    // A person; no status is NULL. Returns the person's id.
    int addPerson(std::optional<int> status) {
        exec({QStringLiteral("INSERT INTO pList (Status) VALUES (%1);")
                  .arg(status ? QString::number(*status) : QStringLiteral("NULL"))});
        return ++FPeople;
    }

    // A mark of owner storing plain in the form config selects, valid from yesterday to tomorrow
    // unless told otherwise.
    void addMark(int owner, const QByteArray& plain, int config = kValid | kDifference,
                 int gtype = 1, const QString& start = "2000-01-01 00:00:00",
                 const QString& finish = "2999-12-31 00:00:00") {
        addStoredMark(owner, session::EncodePassCode(plain, config, 0x10), config, gtype, start,
                      finish);
    }
    void addStoredMark(int owner, const std::optional<QByteArray>& stored,
                       std::optional<int> config, int gtype = 1,
                       const QString& start = "2000-01-01 00:00:00",
                       const QString& finish = "2999-12-31 00:00:00") {
        const QString code =
            stored ? "'" + platform::fromCp1251(*stored).replace("'", "''") + "'" : "NULL";
        exec({QStringLiteral("INSERT INTO pMark (Owner, GType, Config, CodeP, Start, Finish) "
                             "VALUES (%1, %2, %3, %4, '%5', '%6');")
                  .arg(owner)
                  .arg(gtype)
                  .arg(config ? QString::number(*config) : QStringLiteral("NULL"), code, start,
                       finish)});
    }

    void exec(const QStringList& sql) {
        dataclient::TZTable table;
        table.setObjectName("seed");
        table.SetZDBCommand(FSeed.DBCommand());
        table.SetSQL(sql);
        table.ExecSQL();
    }

private:
    Ktsd FServer;
    dataclient::TZarinDatabase FSeed;
    int FPeople = 0;
};

}  // namespace testenv
