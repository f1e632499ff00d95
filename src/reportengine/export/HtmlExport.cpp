#include "reportengine/export/HtmlExport.h"

#include "reportengine/export/ExportGrid.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/SheetExport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace reportengine {

namespace {

QString px(double v) {
    return QString::number(qRound(v)) + QStringLiteral("px");
}

// A double line needs three pixels to show as two.
QString htmlBorder(const FrameSpec& f, FrameSide side) {
    return FrameBorderText(f, side,
                           px(std::max(f.Width, f.Style == FrameStyle::Double ? 3.0 : 1.0)));
}

QString styleCss(const SheetCellStyle& s) {
    QString css = QStringLiteral("font-family:'%1';font-size:%2pt;")
                      .arg(QString(s.Font.Name).remove(u'\'').remove(u'<'))
                      .arg(s.Font.Size);
    if (s.Font.Style & fsBold)
        css += QStringLiteral("font-weight:bold;");
    if (s.Font.Style & fsItalic)
        css += QStringLiteral("font-style:italic;");
    if (s.Font.Style & (fsUnderline | fsStrikeOut))
        css += QStringLiteral("text-decoration:%1%2;")
                   .arg(s.Font.Style & fsUnderline ? "underline " : "",
                        s.Font.Style & fsStrikeOut ? "line-through" : "");
    if (const QString c = HtmlColor(s.Font.Color); !c.isEmpty())
        css += QStringLiteral("color:%1;").arg(c);
    if (const QString f = HtmlColor(s.Fill); !f.isEmpty())
        css += QStringLiteral("background-color:%1;").arg(f);
    css += QStringLiteral("border-left:%1;border-right:%2;border-top:%3;border-bottom:%4;")
               .arg(htmlBorder(s.Frame, ftLeft), htmlBorder(s.Frame, ftRight),
                    htmlBorder(s.Frame, ftTop), htmlBorder(s.Frame, ftBottom));
    static const char* const h[] = {"left", "right", "center", "justify"};
    static const char* const v[] = {"top", "bottom", "middle"};
    css += QStringLiteral("text-align:%1;vertical-align:%2;")
               .arg(QLatin1String(h[int(s.HAlignment)]), QLatin1String(v[int(s.VAlignment)]));
    return css;
}

bool isLink(const QString& tag) {
    return tag.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           tag.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ||
           tag.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive);
}

}  // namespace

TfrxHTMLExport::TfrxHTMLExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxHTMLExport::~TfrxHTMLExport() = default;

QString TfrxHTMLExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::HTML);
}

bool TfrxHTMLExport::Start(int) {
    FClassOfKey.clear();
    FStyleSheet.clear();
    FBody = std::make_unique<QTemporaryFile>();
    return FBody->open() ||
           SetError(tr("Cannot create a temporary file: %1").arg(FBody->errorString()));
}

QString TfrxHTMLExport::styleClass(const SheetCellStyle& style) {
    const QString key = style.Key();
    if (const auto it = FClassOfKey.constFind(key); it != FClassOfKey.constEnd())
        return *it;
    const QString name = QStringLiteral("s%1").arg(FClassOfKey.size() + 1);
    FClassOfKey.insert(key, name);
    FStyleSheet += QStringLiteral("td.%1{%2}\n").arg(name, styleCss(style));
    return name;
}

bool TfrxHTMLExport::ExportPage(const PreparedPage& page, int, int ordinal) {
    const QByteArray html = pageHtml(page, ordinal);
    return FBody->write(html) == html.size() ||
           SetError(tr("Cannot write a temporary file: %1").arg(FBody->errorString()));
}

QByteArray TfrxHTMLExport::pageHtml(const PreparedPage& page, int ordinal) {
    const ExportGrid grid = BuildExportGrid(page);
    const SheetRows rows = LayOutSheetRows(grid, FEmptyLines, false);
    QString out;
    QString pageStyle = FFixedWidth ? QStringLiteral("width:%1;min-height:%2;")
                                          .arg(px(PageWidthPx(page)), px(PageHeightPx(page)))
                                    : QString();
    if (FBackground && !HtmlColor(page.Color).isEmpty())
        pageStyle += QStringLiteral("background-color:%1;").arg(HtmlColor(page.Color));
    out += QStringLiteral("<div class=\"page%1\" style=\"%2\">\n")
               .arg(ordinal > 0 ? " next" : "", pageStyle);
    if (grid.ColCount() > 0) {
        out +=
            QStringLiteral("<table style=\"margin-left:%1;margin-top:%2;%3\">\n<colgroup>")
                .arg(px(grid.ColX.front()), px(grid.RowY.front()),
                     FFixedWidth
                         ? QStringLiteral("width:%1;").arg(px(grid.ColX.back() - grid.ColX.front()))
                         : QString());
        for (int c = 0; c < grid.ColCount(); ++c)
            out += QStringLiteral("<col style=\"width:%1\">").arg(px(grid.ColWidth(c)));
        out += QStringLiteral("</colgroup>\n");
        for (GridRowCursor cur(grid); !cur.AtEnd(); cur.Next()) {
            const int r = cur.Row();
            if (rows.OutRow[std::size_t(r)] < 0)
                continue;
            out += QStringLiteral("<tr style=\"height:%1\">").arg(px(grid.RowHeight(r)));
            for (int c = 0; c < grid.ColCount(); ++c) {
                if (const GridCell* cell = cur.StartAt(c))
                    out += cellHtml(*cell, rows);
                else if (!cur.Covered(c))
                    out += QStringLiteral("<td></td>");
            }
            out += QStringLiteral("</tr>\n");
        }
        out += QStringLiteral("</table>\n");
    }
    out += QStringLiteral("</div>\n");
    return out.toUtf8();
}

QString TfrxHTMLExport::cellHtml(const GridCell& c, const SheetRows& rows) {
    QString td = QStringLiteral("<td");
    if (c.ColSpan > 1)
        td += QStringLiteral(" colspan=\"%1\"").arg(c.ColSpan);
    const int rowSpan =
        rows.OutRow[std::size_t(c.Row + c.RowSpan - 1)] - rows.OutRow[std::size_t(c.Row)] + 1;
    if (rowSpan > 1)
        td += QStringLiteral(" rowspan=\"%1\"").arg(rowSpan);
    td += QStringLiteral(" class=\"%1\">").arg(styleClass(SheetStyleOf(c, true, true)));
    QString content;
    if (c.Item && !c.IsFiller && IsPictureItem(*c.Item)) {
        if (FExportPictures)
            content = QStringLiteral(
                          "<img src=\"data:image/png;base64,%1\" width=\"%2\" "
                          "height=\"%3\" alt=\"\">")
                          .arg(QString::fromLatin1(ItemPicturePng(*c.Item, 2).toBase64()))
                          .arg(qRound(c.Item->W))
                          .arg(qRound(c.Item->H));
    } else {
        content = CellText(c).toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
    }
    if (c.Item && !c.IsFiller && isLink(c.Item->Tag) && !content.isEmpty())
        content = QStringLiteral("<a href=\"%1\">%2</a>").arg(c.Item->Tag.toHtmlEscaped(), content);
    return td + content + QStringLiteral("</td>");
}

QByteArray TfrxHTMLExport::head() const {
    QString css = QStringLiteral(
                      "body{margin:0;padding:8px;background-color:#FFFFFF}\n"
                      "div.page{box-sizing:border-box;overflow:hidden;margin:%1}\n"
                      "div.page.next{break-before:page;page-break-before:always}\n"
                      "table{border-collapse:collapse;border-spacing:0;table-layout:%2}\n"
                      "td{padding:0 2px;overflow:hidden;white-space:%3;line-height:1.15}\n"
                      "td a{color:inherit}\n")
                      .arg(FCentered ? "0 auto 8px auto" : "0 0 8px 0",
                           FFixedWidth ? "fixed" : "auto", FFixedWidth ? "pre" : "pre-wrap");
    const QString title = FTitle.isEmpty() ? QFileInfo(TargetPath()).completeBaseName() : FTitle;
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<title>%1</title>\n<style>\n%2%3</style>\n</head>\n<body>\n")
        .arg(title.toHtmlEscaped(), css, FStyleSheet)
        .toUtf8();
}

bool TfrxHTMLExport::Finish(bool ok) {
    std::unique_ptr<QTemporaryFile> body = std::move(FBody);
    if (!ok || !body)
        return false;
    QFile out(StagingPath());
    bool written = out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(head()) >= 0 &&
                   body->seek(0);
    while (written && !body->atEnd()) {
        const QByteArray chunk = body->read(1 << 20);
        written = !chunk.isEmpty() && out.write(chunk) == chunk.size();
    }
    written = written && out.write("</body>\n</html>\n") >= 0 && out.flush();
    return written || SetError(QStringLiteral("%1: %2").arg(TargetPath(), out.errorString()));
}

}  // namespace reportengine
