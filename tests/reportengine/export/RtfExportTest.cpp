// The RTF export: a structurally sound document (balanced groups, one table row per grid row,
// a section per page), Cyrillic as \u escapes, merged cells, frames and pictures.
#include "reportengine/export/RtfExport.h"
#include "reportengine/pages/SamplePage.h"

#include "ExportSamples.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "TestEnv.h"

using namespace reportengine;

namespace {

// Depth of RTF groups at the end, or -1 when a group closes that never opened; escaped braces
// and the hex digits of pictures do not count.
int groupBalance(const QByteArray& rtf) {
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;  // the escaped character, or the first letter of a control word
            continue;
        }
        depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0;
        if (depth < 0)
            return -1;
    }
    return depth;
}

QByteArray exportRtf(const std::vector<PreparedPage>& source, const QString& path,
                     TfrxRTFExport& filter) {
    TfrxPreparedPages pages;
    for (const PreparedPage& p : source)
        pages.AddPage(p);
    filter.SetFileName(path);
    EXPECT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
    return testenv::Sandbox::readFile(path);
}

}  // namespace

TEST(RtfExport, DocumentIsStructurallySoundAndKeepsTheText) {
    QTemporaryDir dir;
    TfrxRTFExport filter;
    EXPECT_TRUE(filter.property("Wysiwyg").toBool());
    EXPECT_EQ(filter.property("HeaderFooterMode").toInt(), int(hfText));
    EXPECT_FALSE(filter.property("AutoSize").toBool());
    EXPECT_TRUE(filter.property("ExportEMF").toBool());
    const QByteArray rtf = exportRtf(exportsamples::eventReport(), dir.filePath("r.rtf"), filter);
    ASSERT_TRUE(rtf.startsWith("{\\rtf1\\ansi")) << rtf.left(100).toStdString();
    EXPECT_EQ(groupBalance(rtf), 0) << "every group closes, the document last";
    EXPECT_TRUE(rtf.trimmed().endsWith('}'));
    // Page 1: title, header, two data rows; page 2 adds the total: 4 + 5 rows.
    EXPECT_EQ(rtf.count("\\trowd"), 9);
    EXPECT_EQ(rtf.count("\\row\n"), 9);
    EXPECT_EQ(rtf.count("\\sect\\sectd\\sbkpage"), 1) << "a new page for the second page";
    EXPECT_EQ(rtf.count("\\pagebb"), 1) << "and a break before its first paragraph";
    EXPECT_TRUE(rtf.contains("\\pgwsxn5669\\pghsxn4535")) << "100 x 80 mm";
    // Cyrillic as \u escapes, so no code page is needed to read it.
    EXPECT_TRUE(rtf.contains(TfrxRTFExport::EscapeText(QStringLiteral("Журнал событий"))));
    EXPECT_TRUE(rtf.contains("\\u1046?\\u1091?\\u1088?"));
    EXPECT_TRUE(rtf.contains(TfrxRTFExport::EscapeText(QStringLiteral("Итого:"))));
    EXPECT_FALSE(rtf.contains(QStringLiteral("Журнал").toUtf8())) << "no raw UTF-8";
    // The title spans the three columns: its row defines one cell, at the right edge (320 px,
    // minus the 5 mm margin, in twips).
    const qsizetype title = rtf.indexOf("\\trowd");
    const QByteArray titleRow = rtf.mid(title, rtf.indexOf("\\row", title) - title);
    EXPECT_EQ(titleRow.count("\\cellx"), 1) << titleRow.toStdString();
    EXPECT_TRUE(titleRow.contains("\\cellx4517")) << titleRow.toStdString();
    EXPECT_TRUE(titleRow.contains("\\clbrdrb\\brdrs\\brdrw30")) << "the title's bottom frame";
    EXPECT_TRUE(titleRow.contains("\\qc\\plain\\f0\\fs28\\b\\cf")) << "centred, 14 pt, bold";
    EXPECT_TRUE(rtf.contains("\\clcbpat")) << "header fills";

    EXPECT_EQ(TfrxRTFExport::EscapeText(QStringLiteral("a{b}\\c\nЁ")),
              QByteArray("a\\{b\\}\\\\c\\line \\u1025?"));
}

TEST(RtfExport, PicturesGoInAsPngAndCanBeLeftOut) {
    QTemporaryDir dir;
    TfrxRTFExport with;
    const QByteArray rtf = exportRtf({testpages::samplePage()}, dir.filePath("p.rtf"), with);
    EXPECT_EQ(groupBalance(rtf), 0);
    EXPECT_TRUE(rtf.contains("{\\pict\\pngblip"));
    EXPECT_TRUE(rtf.contains(QByteArray("89504e470d0a1a0a"))) << "PNG signature in hex";

    TfrxRTFExport without;
    without.setProperty("ExportPictures", false);
    const QByteArray plain = exportRtf({testpages::samplePage()}, dir.filePath("n.rtf"), without);
    EXPECT_FALSE(plain.contains("\\pict"));
    EXPECT_TRUE(plain.contains(TfrxRTFExport::EscapeText(QStringLiteral("Привет, отчёт"))));
}
