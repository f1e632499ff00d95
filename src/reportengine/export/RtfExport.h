// TfrxRTFExport ("Документ RTF"): each chosen page as one section of an RTF document with the
// page's paper size and margins, its items laid out as a table through the shared ExportGrid
// (Wysiwyg: exact row heights, so the page looks as in the preview; off: rows may grow with
// their text). Merged cells, frames, fills, fonts, colours and alignment carry over; text is
// written with \u escapes, so Cyrillic needs no code page; pictures, check boxes, barcodes and
// shapes go in as PNG pictures (ExportPictures). A new page starts each section when
// ExportPageBreaks is on; AutoSize asks the reader to fit columns to their text.
//
// Kept for the settings, documented rather than faked: ExportEMF (pictures are always PNG: there
// is no EMF writer on this platform), HeaderFooterMode (prepared pages do not say which items
// came from page header and footer bands, so they stay in the page's table, where the preview
// shows them).
//
// Items may reach into the page margins; a section's margins then shrink to them. Known limit:
// a page whose items run to the paper's very bottom edge may show its last row on a page of its
// own in LibreOffice (it needs a little room below a table that the page then lacks).
//
// The body is streamed to a temporary file page by page, because the font and colour tables
// that must come first are complete only at the end; Finish writes them, then the body.
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <QHash>
#include <QStringList>

#include <memory>

class QTemporaryFile;

namespace reportengine {

struct ExportGrid;
struct GridCell;

enum TfrxHeaderFooterMode { hfText = 0, hfPrint = 1, hfNone = 2 };

class TfrxRTFExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(bool ExportEMF MEMBER FExportEMF)
    Q_PROPERTY(bool ExportPictures MEMBER FExportPictures)
    Q_PROPERTY(bool ExportPageBreaks MEMBER FExportPageBreaks)
    Q_PROPERTY(bool Wysiwyg MEMBER FWysiwyg)
    Q_PROPERTY(int HeaderFooterMode MEMBER FHeaderFooterMode)
    Q_PROPERTY(bool AutoSize MEMBER FAutoSize)
    Q_PROPERTY(bool Background MEMBER FBackground)
    Q_PROPERTY(QString Creator MEMBER FCreator)

public:
    explicit TfrxRTFExport(QObject* parent = nullptr);
    ~TfrxRTFExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".rtf"); }

    // Text as RTF: \ \{ \} escaped, non-ASCII as \uN? (the '?' for readers without Unicode).
    static QByteArray EscapeText(const QString& text);

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    QByteArray section(const PreparedPage& page, const ExportGrid& grid, int ordinal);
    QByteArray table(const ExportGrid& grid);
    QByteArray cellDefinition(const GridCell& cell, bool first, bool last, double rightPx);
    QByteArray cellContent(const GridCell& cell);
    int fontIndex(const QString& name);
    int colorIndex(std::int32_t color);
    QByteArray header() const;

    bool FExportEMF = true;
    bool FExportPictures = true;
    bool FExportPageBreaks = true;
    bool FWysiwyg = true;
    int FHeaderFooterMode = hfText;
    bool FAutoSize = false;
    bool FBackground = true;
    QString FCreator = QStringLiteral("Vellumar");

    std::unique_ptr<QTemporaryFile> FBody;
    QStringList FFonts;
    QList<std::int32_t> FColors;
    double FLeftMarginPx = 0;
    double FTopPx = 0;        // the current section's top margin
    int FTrailerDeficit = 0;  // twips the last row gives up (see section())
};

}  // namespace reportengine
