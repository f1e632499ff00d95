#include "reportengine/export/PdfExport.h"

#include "reportengine/export/ExportRegistry.h"
#include "reportengine/render/PageRenderer.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QHashSeed>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

namespace reportengine {

namespace {

QPageLayout layoutFor(const PreparedPage& page) {
    // The prepared page is already oriented; give the paper as drawn, margins zero (items carry
    // their own positions from the paper's corner).
    const QPageSize size(QSizeF(page.PaperWidth, page.PaperHeight), QPageSize::Millimeter,
                         QString(), QPageSize::ExactMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

// Replaces capture `group` of every match of `re` by replacement(captured text), which keeps
// the length, so that the writer's cross-reference offsets stay right.
template <typename F>
void replaceCapture(QByteArray& pdf, const QRegularExpression& re, int group, F replacement) {
    const QString latin = QString::fromLatin1(pdf);
    for (auto it = re.globalMatch(latin); it.hasNext();) {
        const auto m = it.next();
        const QByteArray with = replacement(m.captured(group)).toLatin1();
        if (with.size() == m.capturedLength(group))
            pdf.replace(m.capturedStart(group), with.size(), with);
    }
}

}  // namespace

TfrxPDFExport::TfrxPDFExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxPDFExport::~TfrxPDFExport() = default;

QString TfrxPDFExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::PDF);
}

bool TfrxPDFExport::Start(int) {
    // The writer keeps its embedded fonts in a hash and writes them in the hash's order, which
    // with Qt's per-process random seed differs from run to run. A fixed seed while this
    // document is written makes the order, and so the file, the same in every process.
    if (FDeterministic)
        QHashSeed::setDeterministicGlobalSeed();
    FBuffer.clear();
    FDevice = std::make_unique<QBuffer>(&FBuffer);
    FDevice->open(QIODevice::WriteOnly);
    FWriter = std::make_unique<QPdfWriter>(FDevice.get());
    FWriter->setPdfVersion(QPagedPaintDevice::PdfVersion_1_4);
    FWriter->setResolution(96);  // the prepared pages' own units: see the header
    FWriter->setCreator(FCreator);
    FWriter->setTitle(FTitle);
    return true;
}

bool TfrxPDFExport::ExportPage(const PreparedPage& page, int, int ordinal) {
    if (ordinal == 0) {
        FWriter->setPageLayout(layoutFor(page));
        FPainter = std::make_unique<QPainter>();
        if (!FPainter->begin(FWriter.get()))
            return SetError(tr("Cannot start the PDF document"));
    } else {
        FWriter->setPageLayout(layoutFor(page));
        if (!FWriter->newPage())
            return SetError(tr("Cannot add a page to the PDF document"));
    }
    RenderOptions options;
    options.Background = FBackground;
    RenderPage(*FPainter, page, FWriter->resolution() / 96.0, {}, options);
    return true;
}

bool TfrxPDFExport::Finish(bool ok) {
    if (FPainter && FPainter->isActive())
        FPainter->end();
    FPainter.reset();
    FWriter.reset();
    FDevice.reset();
    if (FDeterministic)
        QHashSeed::resetRandomGlobalSeed();
    if (!ok)
        return false;
    QByteArray pdf = std::move(FBuffer);
    if (FDeterministic)
        pdf = FixVolatileFields(std::move(pdf));
    const QByteArray prefs = ViewerPreferences();
    if (!prefs.isEmpty() && !AppendCatalogEntries(pdf, "/ViewerPreferences " + prefs))
        return SetError(tr("Cannot add the viewer settings to the PDF document"));
    return WriteOutputFile(TargetPath(), pdf);
}

QByteArray TfrxPDFExport::FixVolatileFields(QByteArray pdf) {
    // Dates of the info dictionary: "D:20261211095733Z" or "D:20261211125733+03'00'".
    static const QRegularExpression date(
        QStringLiteral(R"(/(?:CreationDate|ModDate)\s*\(D:(\d{14}[^)]*)\))"));
    replaceCapture(pdf, date, 1, [](const QString& found) {
        QString fixed = QStringLiteral("20000101000000") + found.mid(14);
        for (qsizetype i = 14; i < fixed.size(); ++i)
            if (fixed[i].isDigit())
                fixed[i] = u'0';
        return fixed;
    });
    // A document id, where the writer puts one (Qt 6.4 does not for PDF 1.4; others do): a digest
    // of the file with the id blanked, so equal pages give equal ids.
    static const QRegularExpression id(
        QStringLiteral(R"(/ID\s*\[\s*<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*\])"));
    for (int group = 1; group <= 2; ++group)
        replaceCapture(pdf, id, group,
                       [](const QString& found) { return QString(found.size(), u'0'); });
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(pdf, QCryptographicHash::Md5).toHex());
    for (int group = 1; group <= 2; ++group)
        replaceCapture(pdf, id, group, [&](const QString& found) {
            return digest.repeated(int(found.size() / digest.size()) + 1).left(found.size());
        });
    return pdf;
}

QByteArray TfrxPDFExport::ViewerPreferences() const {
    QByteArray d;
    auto flag = [&](bool on, const char* key) {
        if (on)
            d += QByteArray(" /") + key + " true";
    };
    flag(FHideToolbar, "HideToolbar");
    flag(FHideMenubar, "HideMenubar");
    flag(FHideWindowUI, "HideWindowUI");
    flag(FFitWindow, "FitWindow");
    flag(FCenterWindow, "CenterWindow");
    if (!FPrintScaling)
        d += " /PrintScaling /None";
    return d.isEmpty() ? d : "<<" + d + " >>";
}

bool TfrxPDFExport::AppendCatalogEntries(QByteArray& pdf, const QByteArray& entries) {
    static const QRegularExpression rootRe(QStringLiteral(R"(/Root\s+(\d+)\s+0\s+R)"));
    static const QRegularExpression sizeRe(QStringLiteral(R"(/Size\s+(\d+))"));
    static const QRegularExpression startRe(QStringLiteral(R"(startxref\s+(\d+)\s+%%EOF\s*$)"));
    const qsizetype trailerAt = pdf.lastIndexOf("trailer");
    if (trailerAt < 0)
        return false;
    const QString trailer = QString::fromLatin1(pdf.mid(trailerAt));
    const auto root = rootRe.match(trailer), size = sizeRe.match(trailer),
               start = startRe.match(trailer);
    if (!root.hasMatch() || !size.hasMatch() || !start.hasMatch())
        return false;
    const QByteArray rootNo = root.captured(1).toLatin1();
    const qsizetype objAt = pdf.lastIndexOf("\n" + rootNo + " 0 obj");
    if (objAt < 0)
        return false;
    const qsizetype dictOpen = pdf.indexOf("<<", objAt);
    const qsizetype objEnd = pdf.indexOf("endobj", objAt);
    const qsizetype dictClose = pdf.lastIndexOf(">>", objEnd);
    if (dictOpen < 0 || objEnd < 0 || dictClose < dictOpen)
        return false;
    const QByteArray body = pdf.mid(dictOpen + 2, dictClose - dictOpen - 2);
    if (!pdf.endsWith('\n'))
        pdf += '\n';
    const qsizetype newObjAt = pdf.size();
    pdf += rootNo + " 0 obj\n<<" + body + " " + entries + " >>\nendobj\n";
    const qsizetype xrefAt = pdf.size();
    QByteArray trailerDict = trailer.toLatin1();
    trailerDict = trailerDict.mid(trailerDict.indexOf("<<"));
    trailerDict = trailerDict.left(trailerDict.lastIndexOf(">>"));
    pdf += "xref\n0 1\n0000000000 65535 f \n" + rootNo + " 1\n" +
           QByteArray::number(newObjAt).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n" + trailerDict + " /Prev " + start.captured(1).toLatin1() + " >>\n";
    pdf += "startxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
    return true;
}

}  // namespace reportengine
