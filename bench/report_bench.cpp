// A list report end to end: prepare a 20,000-row, 8-column list (page header, page footer with
// "[Page#] / [TotalPages#]", about 45 rows per A4 page) from an in-memory table and export it to
// PDF; in the same run, time the floor, a bare QPdfWriter program drawing the same cells without
// any layout, and, when Chromium is installed, Chromium headless printing an equivalent HTML
// table. Reports pages/s, the ratios and the peak resident memory. With --million, prepares a
// 1,000,000-row report into pages without exporting and reports the peak memory instead; its rows
// come from a user dataset that makes each row when asked, so that the process's peak is the
// engine's and not a million rows of test data.
// A whole-process run, no assertions:
//   report_bench [--rows N] [--million] [--prepare-only] [--no-chromium] [--keep DIR]
#include "BenchSupport.h"
#include "dataclient/UZMemTableBuilder.h"
#include "reportengine/export/PdfExport.h"
#include "reportengine/io/TemplateFile.h"
#include "reportengine/model/Report.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/render/FontMapping.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace reportengine;
using bench::Clock;
using bench::secondsSince;

constexpr int kColumns = 8;
const char* const kFields[kColumns] = {"ID", "EventTime", "Device", "Person",
                                       "Mark", "Code", "Direction", "Text"};
const double kWidths[kColumns] = {60, 120, 90, 150, 70, 50, 60, 118};
constexpr double kRowHeight = 22;

QString Cell(int row, int column) {
    switch (column) {
    case 0:
        return QString::number(row + 1);
    case 1:
        return QStringLiteral("%1.11.2026 %2:%3")
            .arg(row % 28 + 1, 2, 10, QChar(u'0'))
            .arg(row % 24, 2, 10, QChar(u'0'))
            .arg(row % 60, 2, 10, QChar(u'0'));
    case 2:
        return QStringLiteral("Дверь %1").arg(row % 17 + 1);
    case 3:
        return QStringLiteral("Сотрудник %1").arg(row % 2003 + 1);
    case 4:
        return QString::number(100000 + row % 9000);
    case 5:
        return QString::number(row % 40);
    case 6:
        return row % 2 ? QStringLiteral("Вход") : QStringLiteral("Выход");
    default:
        return QStringLiteral("Проход разрешён");
    }
}

QByteArray ListTemplate(bool userData) {
    QString cells;
    double left = 0;
    for (int c = 0; c < kColumns; ++c) {
        cells += QStringLiteral("<TfrxMemoView Name=\"C%1\" Left=\"%2\" Width=\"%3\" Height=\"%4\" "
                                "DataSet=\"Events\" DataSetName=\"Events\" DataField=\"%5\"/>")
                     .arg(c).arg(left).arg(kWidths[c]).arg(kRowHeight).arg(QString::fromLatin1(kFields[c]));
        left += kWidths[c];
    }
    const QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><TfrxReport>"
        "<Datasets><item DataSet=\"Events\" DataSetName=\"Events\"/></Datasets>"
        "<TfrxDataPage Name=\"Data\"><%3 Name=\"Events\"/></TfrxDataPage>"
        "<TfrxReportPage Name=\"Page1\">"
        "<TfrxPageHeader Name=\"PH\" Height=\"24\" Top=\"1\" Width=\"718\">"
        "<TfrxMemoView Name=\"Head\" Width=\"718\" Height=\"22\" Text=\"Журнал событий\"/></TfrxPageHeader>"
        "<TfrxMasterData Name=\"MD\" Height=\"%1\" Top=\"40\" Width=\"718\" DataSet=\"Events\" "
        "DataSetName=\"Events\">%2</TfrxMasterData>"
        "<TfrxPageFooter Name=\"PF\" Height=\"24\" Top=\"80\" Width=\"718\">"
        "<TfrxMemoView Name=\"PageNo\" Left=\"518\" Width=\"200\" Height=\"22\" HAlign=\"haRight\" "
        "Text=\"[Page#] / [TotalPages#]\"/></TfrxPageFooter>"
        "</TfrxReportPage></TfrxReport>")
            .arg(kRowHeight)
            .arg(cells, userData ? QStringLiteral("TfrxUserDataSet") : QStringLiteral("TfrxDBDataset"));
    return text.toUtf8();
}

std::unique_ptr<dataclient::FilledMemTable> EventTable(int rows) {
    std::vector<dataclient::FilledColumn> columns;
    for (const char* f : kFields)
        columns.push_back({QString::fromLatin1(f), platform::ftString, 40});
    auto table = std::make_unique<dataclient::FilledMemTable>(std::move(columns));
    table->setRowSource([rows](const std::function<void(const dataclient::FilledMemTable::Row&)>& add) {
        dataclient::FilledMemTable::Row row;
        for (int r = 0; r < rows; ++r) {
            row.clear();
            for (int c = 0; c < kColumns; ++c)
                row.push_back(platform::Variant(Cell(r, c)));
            add(row);
        }
    });
    return table;
}

struct EngineRun {
    double prepare = 0, exportSeconds = 0;
    int pages = 0;
    long peakKb = 0, tableKb = 0;
};

EngineRun RunEngine(int rows, const QString& pdf, bool userData) {
    EngineRun r;
    std::unique_ptr<dataclient::FilledMemTable> table;
    TfrxReport report;
    ReadTemplate(report, ListTemplate(userData), QStringLiteral("bench.fr3"));
    int row = 0;
    if (userData) {
        auto* events = qobject_cast<TfrxUserDataSet*>(report.FindObject(QStringLiteral("Events")));
        for (const char* f : kFields)
            events->Fields << QString::fromLatin1(f);
        events->OnFirst = [&row] { row = 0; };
        events->OnNext = [&row] { ++row; };
        events->OnCheckEOF = [&row, rows] { return row >= rows; };
        events->OnGetValue = [&row](const QString& field) {
            for (int c = 0; c < kColumns; ++c)
                if (field == QLatin1String(kFields[c]))
                    return platform::Variant(Cell(row, c));
            return platform::Variant::Null();
        };
    } else {
        table = EventTable(rows);
        const long beforeTable = bench::statusKb("VmRSS:");
        table->Open();
        r.tableKb = bench::statusKb("VmRSS:") - beforeTable;
        qobject_cast<TfrxDBDataset*>(report.FindObject(QStringLiteral("Events")))->SetDataSet(table.get());
    }
    const long before = bench::statusKb("VmRSS:");
    bench::resetPeak();
    auto start = Clock::now();
    if (!report.PrepareReport()) {
        std::fprintf(stderr, "prepare failed: %s\n", qPrintable(report.ErrorText));
        std::exit(1);
    }
    r.prepare = secondsSince(start);
    r.pages = report.PreparedPages().Count();
    if (!pdf.isEmpty()) {
        start = Clock::now();
        TfrxPDFExport filter;
        filter.SetFileName(pdf);
        if (!filter.Export(report.PreparedPages())) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(filter.ErrorText()));
            std::exit(1);
        }
        r.exportSeconds = secondsSince(start);
    }
    r.peakKb = bench::statusKb("VmHWM:") - before;
    return r;
}

// The floor: the same cells drawn straight onto a QPdfWriter, positions computed by arithmetic.
double RunFloor(int rows, const QString& pdf) {
    const auto start = Clock::now();
    QPdfWriter writer(pdf);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(96);
    QPainter p(&writer);
    p.setFont(FontFor(FontSpec{}));
    const double top = 10 * 96 / 25.4, left = top;
    const int perPage = int((297 - 20) * 96 / 25.4 - 48) / int(kRowHeight);
    const int pages = (rows + perPage - 1) / perPage;
    for (int page = 0; page < pages; ++page) {
        if (page)
            writer.newPage();
        p.drawText(QPointF(left + 2, top + 14), QStringLiteral("Журнал событий"));
        for (int i = 0; i < perPage; ++i) {
            const int row = page * perPage + i;
            if (row >= rows)
                break;
            double x = left;
            const double y = top + 24 + i * kRowHeight + 14;
            for (int c = 0; c < kColumns; ++c) {
                p.drawText(QPointF(x + 2, y), Cell(row, c));
                x += kWidths[c];
            }
        }
        p.drawText(QPointF(left + 650, top + 1046 - 10),
                   QStringLiteral("%1 / %2").arg(page + 1).arg(pages));
    }
    p.end();
    return secondsSince(start);
}

double RunChromium(int rows, const QString& dir) {
    QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (browser.isEmpty())
        return -1;
    QString html = QStringLiteral(
        "<!doctype html><html><head><meta charset=\"utf-8\"><style>"
        "@page{size:A4;margin:10mm} body{font:10pt Arial,'Liberation Sans'} "
        "table{border-collapse:collapse;width:190mm} td{height:5.8mm;padding:0 2px;overflow:hidden;white-space:nowrap}"
        "thead td{font-weight:normal}</style></head><body><table>"
        "<thead><tr><td colspan=8>Журнал событий</td></tr></thead><tbody>");
    for (int r = 0; r < rows; ++r) {
        html += QStringLiteral("<tr>");
        for (int c = 0; c < kColumns; ++c)
            html += QStringLiteral("<td>") + Cell(r, c) + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</tbody></table></body></html>");
    const QString page = dir + QStringLiteral("/list.html");
    QFile f(page);
    f.open(QIODevice::WriteOnly);
    f.write(html.toUtf8());
    f.close();
    const auto start = Clock::now();
    QProcess chromium;
    chromium.start(browser, {QStringLiteral("--headless"), QStringLiteral("--disable-gpu"),
                             QStringLiteral("--no-sandbox"), QStringLiteral("--no-pdf-header-footer"),
                             QStringLiteral("--print-to-pdf=") + dir + QStringLiteral("/chromium.pdf"),
                             QStringLiteral("file://") + page});
    // Chromium paginates long tables slowly; give it half an hour before calling it out.
    const bool finished = chromium.waitForFinished(1800000) && QFile::exists(dir + QStringLiteral("/chromium.pdf"));
    if (!finished) {
        chromium.kill();
        chromium.waitForFinished();
        return 1e9;
    }
    return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int rows = 20000;
    bool million = false, prepareOnly = false, chromiumWanted = true;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"--rows" && i + 1 < args.size())
            rows = args[++i].toInt();
        else if (args[i] == u"--million")
            million = true;
        else if (args[i] == u"--prepare-only")
            prepareOnly = true;
        else if (args[i] == u"--no-chromium")
            chromiumWanted = false;
        else if (args[i] == u"--keep" && i + 1 < args.size())
            keep = args[++i];
    }
    QTemporaryDir temp;
    const QString dir = keep.isEmpty() ? temp.path() : keep;
    QDir().mkpath(dir);

    if (million || prepareOnly) {
        const int count = million ? 1000000 : rows;
        const EngineRun r = RunEngine(count, QString(), million);
        std::printf("%d rows: %d pages prepared in %.2f s (%.0f pages/s); table %.1f MB; "
                    "peak added by preparing %.1f MB; process peak %.1f MB\n",
                    count, r.pages, r.prepare, r.pages / r.prepare, r.tableKb / 1024.0,
                    r.peakKb / 1024.0, bench::statusKb("VmHWM:") / 1024.0);
        return 0;
    }
    const EngineRun engine = RunEngine(rows, dir + QStringLiteral("/engine.pdf"), false);
    const double floor = RunFloor(rows, dir + QStringLiteral("/floor.pdf"));
    const double chromium = chromiumWanted ? RunChromium(rows, dir) : -1;
    const double total = engine.prepare + engine.exportSeconds;
    std::printf("%d rows, %d pages\n", rows, engine.pages);
    std::printf("engine: prepare %.2f s + PDF %.2f s = %.2f s, %.0f pages/s, peak +%.1f MB\n",
                engine.prepare, engine.exportSeconds, total, engine.pages / total,
                engine.peakKb / 1024.0);
    std::printf("bare QPdfWriter floor: %.2f s -> engine/floor %.2fx\n", floor, total / floor);
    if (chromium >= 1e9)
        std::printf("Chromium headless: did not finish within 30 minutes\n");
    else if (chromium >= 0)
        std::printf("Chromium headless: %.2f s -> engine/Chromium %.2fx\n", chromium, total / chromium);
    else
        std::printf("Chromium headless: not run (not installed or --no-chromium)\n");
    return 0;
}
