// TfrxODTExport ("Текст OpenDocument"): the chosen pages as an OpenDocument text document (.odt,
// a zip package built by ZipPackage: "mimetype" first and stored, META-INF/manifest.xml,
// content.xml, styles.xml, pictures under Pictures/). Each page becomes one table cut by the
// shared ExportGrid, placed where the page has it (the table's left and top margins), with the
// page's merged cells, frames, fills (Background), fonts, colours and alignment; Wysiwyg gives
// exact row heights (off: rows may grow with their text); EmptyLines keeps the rows no cell
// touches (off: drops them); ExportPageBreaks starts each report page on a new page. The page
// size and margins of the document are those of the first exported page. Pictures, check boxes,
// barcodes and shapes go in as PNG pictures.
//
// SuppressPageHeadersFooters is kept for the settings: prepared pages do not say which items
// came from page header and footer bands, so they stay in each page's table, where the preview
// shows them.
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

class QXmlStreamWriter;

namespace reportengine {

struct ExportGrid;
struct GridCell;

class TfrxODTExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(bool Background MEMBER FBackground)
    Q_PROPERTY(bool EmptyLines MEMBER FEmptyLines)
    Q_PROPERTY(bool SuppressPageHeadersFooters MEMBER FSuppressPageHeadersFooters)
    Q_PROPERTY(bool ExportPageBreaks MEMBER FExportPageBreaks)
    Q_PROPERTY(bool Wysiwyg MEMBER FWysiwyg)
    Q_PROPERTY(QString Creator MEMBER FCreator)

public:
    explicit TfrxODTExport(QObject* parent = nullptr);
    ~TfrxODTExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".odt"); }

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    void writeTable(QXmlStreamWriter& w, const PreparedPage& page, const ExportGrid& grid,
                    int ordinal);
    void writeCell(QXmlStreamWriter& w, const GridCell& cell);
    QString style(const QString& family, const QString& properties);
    QString cellStyle(const GridCell& cell);
    QString paragraphStyle(const PreparedItem& item);
    QByteArray content() const;
    QByteArray styles() const;

    bool FBackground = true;
    bool FEmptyLines = true;
    bool FSuppressPageHeadersFooters = false;
    bool FExportPageBreaks = true;
    bool FWysiwyg = true;
    QString FCreator = QStringLiteral("Vellumar");

    QByteArray FBody;                     // the tables, in order
    QStringList FStyleXml;                // automatic styles, in order of first use
    QHash<QString, QString> FStyleNames;  // family + properties -> style name
    QStringList FFonts;
    std::vector<std::pair<QString, QByteArray>> FPictures;  // path in the package, PNG
    std::optional<PreparedPage> FFirstPage;                 // paper and margins (no items)
};

}  // namespace reportengine
