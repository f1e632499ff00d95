// TfrxCSVExport: the chosen pages as one table of comma-separated values: the pages one under
// the other on shared columns (the same grid the spreadsheets use), one line per grid row that
// holds a cell, each cell's text as the preview shows it (a merged cell's text in its first
// column). Fields holding the separator, a quote or a line break are quoted, quotes doubled;
// lines end in CR LF. Options: Separator (";"), OEMCodepage (CP866 instead of UTF-8; UTF-8 is
// written with a byte-order mark, which spreadsheet programs need to recognise it).
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/ExportFilter.h"
#include "reportengine/export/ExportGrid.h"

#include <memory>

namespace reportengine {

class TfrxCSVExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(QString Separator MEMBER FSeparator)
    Q_PROPERTY(bool OEMCodepage MEMBER FOEMCodepage)

public:
    explicit TfrxCSVExport(QObject* parent = nullptr);
    ~TfrxCSVExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".csv"); }

    // The grid's rows as CSV text (without the encoding step).
    static QString GridText(const ExportGrid& grid, const QString& separator);

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    QString FSeparator = QStringLiteral(";");
    bool FOEMCodepage = false;
    std::unique_ptr<ExportSheet> FSheet;
};

}  // namespace reportengine
