// The text-shaped exports: simple text in UTF-8 and CP866 (bytes checked), its frame and
// empty-line options, the dot-matrix stream's escape sequences; and for them and the document
// exports, progress of type 1 and a cancel that leaves no file.
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/ExportSettings.h"
#include "reportengine/export/OemCodepage.h"
#include "reportengine/export/TextExports.h"

#include "ExportSamples.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "TestEnv.h"

using namespace reportengine;

namespace {

struct TextExportFixture : ::testing::Test {
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    void SetUp() override {
        for (const PreparedPage& page : exportsamples::eventReport())
            pages.AddPage(page);
    }
    QByteArray exportTo(TfrxCustomExportFilter& filter, const QString& name) {
        filter.SetFileName(dir.filePath(name));
        EXPECT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
        return testenv::Sandbox::readFile(dir.filePath(name));
    }
};

QStringList linesOf(const QString& text) {
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

}  // namespace

TEST_F(TextExportFixture, RussianTextRoundTripsInUtf8AndCp866) {
    TfrxSimpleTextExport utf8;
    const QByteArray a = exportTo(utf8, "utf8.txt");
    const QString text = QString::fromUtf8(a);
    ASSERT_EQ(text.toUtf8(), a) << "valid UTF-8";
    const QStringList pagesText = text.split(QChar(u'\f'));
    ASSERT_EQ(pagesText.size(), 2) << "a form feed between the two pages";
    const QStringList lines = linesOf(pagesText[0]);
    // Defaults: no frames, no empty lines: title, header and two data rows.
    ASSERT_EQ(lines.size(), 4) << text.toStdString();
    EXPECT_EQ(lines[0].trimmed(), QStringLiteral("Журнал событий"));
    EXPECT_TRUE(lines[1].contains(QRegularExpression(QStringLiteral("Дата +Сотрудник +Сумма"))));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("Петров Андрей")));
    // Columns follow the page: the amounts start under their heading.
    EXPECT_EQ(lines[2].indexOf(QStringLiteral("1 234,50")),
              lines[1].indexOf(QStringLiteral("Сумма")));
    EXPECT_TRUE(pagesText[1].contains(QStringLiteral("Итого:")));
    EXPECT_FALSE(text.contains(u'\u2500')) << "no frames by default";

    TfrxSimpleTextExport oem;
    oem.setProperty("OEMCodepage", true);
    const QByteArray b = exportTo(oem, "oem.txt");
    // "Дата" in CP866 is 84 A0 E2 A0; "ё"-free text, so every letter has its byte.
    EXPECT_TRUE(b.contains(QByteArray("\x84\xA0\xE2\xA0")));
    EXPECT_FALSE(b.contains('?'));
    EXPECT_EQ(b, toCp866(text)) << "the same text, only encoded differently";
    EXPECT_EQ(fromCp866(b), text);
}

TEST(OemCodepage, EveryByteRoundTripsAndUnknownCharactersBecomeQuestionMarks) {
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    EXPECT_EQ(toCp866(fromCp866(all)), all);
    EXPECT_EQ(toCp866(QStringLiteral("Ёё№─┼")), QByteArray("\xF0\xF1\xFC\xC4\xC5"));
    EXPECT_EQ(toCp866(QStringLiteral("€😀x")), QByteArray("??x"));
}

// Pages can come from a prepared-report file: positions off the paper or not numbers at all
// still give a small file with the text.
TEST(TextExport, WildPositionsStayOnABoundedGrid) {
    PreparedPage page = exportsamples::eventPage(false);
    PreparedItem far = exportsamples::text(1e12, 1e12, 50, 20, QStringLiteral("далеко"));
    PreparedItem nan = exportsamples::text(std::nan(""), -1e300, 50, 20, QStringLiteral("нигде"));
    far.Frame.Typ = nan.Frame.Typ = ftLeft | ftTop;
    page.Items.push_back(far);
    page.Items.push_back(nan);
    TfrxPreparedPages pages;
    pages.AddPage(page);
    QTemporaryDir dir;
    TfrxSimpleTextExport filter;
    filter.setProperty("Frames", true);
    filter.SetFileName(dir.filePath("wild.txt"));
    ASSERT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
    const QByteArray out = testenv::Sandbox::readFile(dir.filePath("wild.txt"));
    EXPECT_LT(out.size(), 1 << 20);
    EXPECT_TRUE(QString::fromUtf8(out).contains(QStringLiteral("нигде")));
}

TEST_F(TextExportFixture, FramesAndEmptyLinesOptions) {
    TfrxSimpleTextExport framed;
    framed.setProperty("Frames", true);
    framed.setProperty("PageBreaks", false);
    const QString withFrames = QString::fromUtf8(exportTo(framed, "frames.txt"));
    EXPECT_FALSE(withFrames.contains(u'\f'));
    const QStringList lines = linesOf(withFrames);
    // The header row sits between two frame rows; corners and crossings join the lines.
    const int header = int(lines.indexOf(QRegularExpression(QStringLiteral(".*Дата.*"))));
    ASSERT_GT(header, 0) << withFrames.toStdString();
    EXPECT_TRUE(lines[header - 1].contains(QStringLiteral("┌"))) << withFrames.toStdString();
    EXPECT_TRUE(lines[header - 1].contains(QStringLiteral("┬")));
    EXPECT_TRUE(lines[header].contains(QStringLiteral("│Дата")));
    EXPECT_TRUE(lines[header + 1].contains(QStringLiteral("┼"))) << withFrames.toStdString();
    for (const QString& text : {QStringLiteral("Петров Андрей"), QStringLiteral("Итого:")})
        EXPECT_TRUE(withFrames.contains(text)) << "frames never hide text";

    TfrxSimpleTextExport dense, sparse;
    sparse.setProperty("EmptyLines", true);
    const QStringList denseLines = linesOf(QString::fromUtf8(exportTo(dense, "dense.txt")));
    const QStringList sparseLines = linesOf(QString::fromUtf8(exportTo(sparse, "sparse.txt")));
    EXPECT_FALSE(denseLines.contains(QString()));
    EXPECT_TRUE(sparseLines.contains(QString())) << "the top margin and the gaps stay";
    EXPECT_GT(sparseLines.size(), denseLines.size());
}

TEST_F(TextExportFixture, DotMatrixStreamCarriesEscapeModelZero) {
    TfrxDotMatrixExport printer;
    EXPECT_EQ(printer.property("EscModel").toInt(), 0);
    EXPECT_FALSE(printer.property("GraphicFrames").toBool());
    EXPECT_FALSE(printer.property("SaveToFile").toBool());
    EXPECT_TRUE(printer.property("UseIniSettings").toBool());
    const QByteArray out = exportTo(printer, "job.prn");
    // Reset, six lines per inch, a page of 19 lines (80 mm).
    EXPECT_TRUE(
        out.startsWith(QByteArray("\x1b@\x1b\x32\x1b"
                                  "C\x13")));
    // The bold header: ESC E before "Дата" (CP866), ESC F before the line ends.
    EXPECT_TRUE(
        out.contains(QByteArray("\x1b"
                                "E"
                                "\x84\xA0\xE2\xA0")));
    const qsizetype boldOff = out.indexOf(
        "\x1b"
        "F");
    ASSERT_GT(boldOff, out.indexOf("\x1b"
                                   "E"));
    EXPECT_EQ(out.count('\f'), 2) << "a form feed after each page";
    EXPECT_TRUE(out.endsWith('\f'));
    EXPECT_FALSE(out.contains(QByteArray("\xC4\xC4"))) << "no graphic frames by default";

    TfrxDotMatrixExport framed;
    framed.setProperty("GraphicFrames", true);
    EXPECT_TRUE(exportTo(framed, "framed.prn").contains(QByteArray("\xC4\xC4")));

    // Stored settings come back through the engine's settings key.
    const QString key = QStringLiteral("\\Software\\Tamur\\ZarinPro\\Vellumar\\Fast Reports");
    SaveFilterSettings(framed, key, TfrxDotMatrixExport::StoredProperties());
    TfrxDotMatrixExport stored;
    stored.setProperty("SettingsKey", key);
    EXPECT_TRUE(stored.property("GraphicFrames").toBool());

    ASSERT_TRUE(EscapeModel(0));
    EXPECT_EQ(EscapeModel(0)->UnderlineOn, QByteArray("\x1b-\x01", 3));
    EXPECT_EQ(EscapeModel(0)->UnderlineOff, QByteArray("\x1b-\x00", 3));
    EXPECT_FALSE(EscapeModel(1));

    TfrxDotMatrixExport unknown;
    unknown.setProperty("EscModel", 7);
    unknown.SetFileName(dir.filePath("bad.prn"));
    EXPECT_FALSE(unknown.Export(pages));
    EXPECT_FALSE(QFile::exists(dir.filePath("bad.prn")));
}

TEST_F(TextExportFixture, CancelledOrFailedExportLeavesNoFile) {
    for (ExportFormat format : {ExportFormat::SimpleText, ExportFormat::DotMatrix,
                                ExportFormat::RTF, ExportFormat::ODT}) {
        SCOPED_TRACE(ExportFilterDescription(format).toStdString());
        auto filter = CreateExportFilter(format);
        ASSERT_TRUE(filter);
        int started = 0, stopped = 0;
        QObject::connect(filter.get(), &TfrxCustomExportFilter::progressStart,
                         [&](int type, int count) { started += type == 1 && count == 2; });
        QObject::connect(filter.get(), &TfrxCustomExportFilter::progressStop,
                         [&](int type) { stopped += type == 1; });
        QObject::connect(filter.get(), &TfrxCustomExportFilter::progress,
                         [&](int, int) { filter->Terminate(); });
        filter->SetFileName(dir.filePath("cancelled"));
        EXPECT_FALSE(filter->Export(pages));
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty())
            << "no file and no temporary file left";
        EXPECT_EQ(started, 1);
        EXPECT_EQ(stopped, 1);

        auto unwritable = CreateExportFilter(format);
        unwritable->SetFileName(dir.filePath("no/such/folder/x"));
        EXPECT_FALSE(unwritable->Export(pages));
        EXPECT_TRUE(unwritable->ErrorText().contains("x")) << unwritable->ErrorText().toStdString();
    }
}
