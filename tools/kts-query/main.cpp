// kts-query: runs one SQL text on the data server through TZTable and prints the result as an
// aligned table (or CSV), optionally with a line of column types; --exec runs ExecSQL instead.
//   kts-query --host H --port P [--param name=value ...] [--csv] [--types] [--exec] "SQL"
// A parameter value that reads as an integer or a number is sent as one, anything else as text;
// "--param name" without a value sends null. Null shows as NULL in the table and as an empty
// cell in CSV. Errors print the library's message and exit 1.
// Thread contract: the main thread runs everything; the session's link threads are the library's.
#include "dataclient/UZMemTable.h"
#include "dataclient/UZTable.h"
#include "dataclient/ZarinDatabase.h"
#include "platform/DataSet.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

using namespace dataclient;
using namespace platform;

const char kUsage[] =
    "usage: kts-query --host H --port P [--param name=value ...] [--csv] [--types] [--exec] SQL\n";

struct Options {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 2001;
    QList<QPair<QString, std::optional<QString>>> params;
    bool csv = false;
    bool types = false;
    bool exec = false;
    QString sql;
};

bool parse(const QStringList& args, Options& o) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--host" && hasValue) {
            o.host = args[++i];
        } else if (a == "--port" && hasValue) {
            bool ok = false;
            o.port = args[++i].toUShort(&ok);
            if (!ok)
                return false;
        } else if (a == "--param" && hasValue) {
            const QString p = args[++i];
            const qsizetype eq = p.indexOf(u'=');
            if (eq < 0)
                o.params.append({p, std::nullopt});
            else
                o.params.append({p.left(eq), p.mid(eq + 1)});
        } else if (a == "--csv") {
            o.csv = true;
        } else if (a == "--types") {
            o.types = true;
        } else if (a == "--exec") {
            o.exec = true;
        } else if (a.startsWith("--") || !o.sql.isEmpty()) {
            return false;
        } else {
            o.sql = a;
        }
    }
    return !o.sql.isEmpty();
}

void setParam(TParam& p, const std::optional<QString>& value) {
    if (!value) {
        p.Clear();
        p.DataType = ftString;
        return;
    }
    bool ok = false;
    if (const int i = value->toInt(&ok); ok)
        return p.SetAsInteger(i);
    if (const double d = value->toDouble(&ok); ok)
        return p.SetAsFloat(d);
    p.SetAsString(*value);
}

QString csvCell(const QString& s) {
    if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n'))
        return s;
    return u'"' + QString(s).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

void print(TZTable& t, const Options& o) {
    QList<QStringList> rows;
    QStringList head;
    for (TField* f : t.Fields())
        head << f->FieldName;
    rows << head;
    if (o.types) {
        QStringList types;
        for (TField* f : t.Fields())
            types << FieldTypeName(f->DataType()) +
                         (f->Size() ? QStringLiteral("(%1)").arg(f->Size()) : QString());
        rows << types;
    }
    for (t.First(); !t.Eof(); t.Next()) {
        QStringList cells;
        for (TField* f : t.Fields())
            cells << (f->IsNull() ? (o.csv ? QString() : QStringLiteral("NULL")) : f->AsString());
        rows << cells;
    }
    QList<qsizetype> widths(head.size(), 0);
    for (const QStringList& r : rows)
        for (qsizetype k = 0; k < r.size(); ++k)
            widths[k] = std::max(widths[k], r[k].size());
    for (const QStringList& r : rows) {
        QStringList out;
        for (qsizetype k = 0; k < r.size(); ++k)
            out << (o.csv ? csvCell(r[k]) : r[k].leftJustified(widths[k]));
        std::printf("%s\n", (o.csv ? out.join(u',') : out.join(QStringLiteral("  ")).trimmed())
                                .toUtf8()
                                .constData());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options o;
    if (!parse(app.arguments(), o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        TZarinDatabase db;
        db.SetHost(o.host);
        db.SetPort(o.port);
        db.SetConnected(true);
        TZTable table;
        table.setObjectName(QStringLiteral("Query"));
        table.SetZDBCommand(db.DBCommand());
        table.SetSQL(o.sql.split(u'\n'));
        for (const auto& [name, value] : o.params)
            setParam(table.ParamByName(name), value);
        if (o.exec)
            table.ExecSQL();
        else
            table.Open();
        if (table.Active())
            print(table, o);
        else if (!o.exec)
            std::fputs("(no result set)\n", stderr);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().toUtf8().constData());
        return 1;
    }
    return 0;
}
