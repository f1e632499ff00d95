// TfrxHTMLExport: the chosen pages, in order, as one HTML file (UTF-8, HTML5). Each page is one
// table cut by the shared export grid, with merged cells, fonts, fills, frames and alignment as
// in the preview, and the text lines as the layout broke them; a printed page break between
// pages. Pictures, check boxes, barcodes and shapes are embedded as PNG data: URIs, so the file
// stands alone. A text item whose tag is a web or mail address becomes a link.
//
// Options: FixedWidth (columns keep their widths in pixels; off, the table may stretch),
// Background (the page colour), Centered (pages centred in the window), EmptyLines (rows no
// cell touches are kept), ExportPictures. Cell styles go into one style sheet in the head;
// the pages are collected in a temporary file meanwhile, so long reports need little memory.
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <QHash>

#include <memory>

class QTemporaryFile;

namespace reportengine {

struct GridCell;
struct SheetCellStyle;
struct SheetRows;

class TfrxHTMLExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(bool FixedWidth MEMBER FFixedWidth)
    Q_PROPERTY(bool Background MEMBER FBackground)
    Q_PROPERTY(bool Centered MEMBER FCentered)
    Q_PROPERTY(bool EmptyLines MEMBER FEmptyLines)
    Q_PROPERTY(bool ExportPictures MEMBER FExportPictures)
    Q_PROPERTY(QString Title MEMBER FTitle)

public:
    explicit TfrxHTMLExport(QObject* parent = nullptr);
    ~TfrxHTMLExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".html"); }

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    QString styleClass(const SheetCellStyle& style);
    QByteArray pageHtml(const PreparedPage& page, int ordinal);
    QString cellHtml(const GridCell& cell, const SheetRows& rows);
    QByteArray head() const;

    bool FFixedWidth = true;
    bool FBackground = false;
    bool FCentered = false;
    bool FEmptyLines = true;
    bool FExportPictures = true;
    QString FTitle;

    std::unique_ptr<QTemporaryFile> FBody;
    QHash<QString, QString> FClassOfKey;
    QString FStyleSheet;  // one rule per class, in order of first use
};

}  // namespace reportengine
