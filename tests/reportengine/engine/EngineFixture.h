// Helpers of the preparation tests: a report read from template text or a stored template, real
// in-memory tables bound to its datasets, and the prepared pages as text for assertions.
#pragma once

#include "dataclient/UZMemTableBuilder.h"
#include "reportengine/io/TemplateFile.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/pages/PreparedPages.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace enginetest {

using namespace reportengine;

// A report template around the given page content (bands) and data components.
inline QByteArray Template(const QString& pageBody, const QString& data = QString(),
                           const QString& script = QStringLiteral("begin\r\nend."),
                           const QString& reportAttributes = QString()) {
    QString s = script;
    s.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;")).replace(u'"', QStringLiteral("&quot;"))
        .replace(QStringLiteral("\r\n"), QStringLiteral("&#13;&#10;"))
        .replace(u'\n', QStringLiteral("&#13;&#10;"));
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<TfrxReport ScriptText.Text=\"") +
            s + u'"' + reportAttributes + u'>' + QStringLiteral("<TfrxDataPage Name=\"Data\">") +
            data + QStringLiteral("</TfrxDataPage><TfrxReportPage Name=\"Page1\">") + pageBody +
            QStringLiteral("</TfrxReportPage></TfrxReport>"))
        .toUtf8();
}

inline void Read(TfrxReport& report, const QByteArray& bytes) {
    ReadTemplate(report, bytes, QStringLiteral("test.fr3"));
}

inline QString TemplatePath(const char* name) {
    return QStringLiteral(VELLUMAR_SOURCE_DIR "/resources/templates/") + QString::fromUtf8(name);
}

using Rows = std::vector<dataclient::FilledMemTable::Row>;

// A table owned by the test and bound to the report's TfrxDBDataset of that name.
inline std::unique_ptr<dataclient::FilledMemTable> Bind(TfrxReport& report, const QString& name,
                                                        std::vector<dataclient::FilledColumn> columns,
                                                        const Rows& rows) {
    auto table = std::make_unique<dataclient::FilledMemTable>(std::move(columns));
    for (const auto& row : rows)
        table->addRow(row);
    auto* ds = qobject_cast<TfrxDBDataset*>(report.FindObject(name));
    if (ds)
        ds->SetDataSet(table.get());
    return table;
}

inline QString ItemText(const PreparedItem& item) {
    QStringList lines;
    for (const TextLine& line : item.Lines)
        lines << line.Text;
    return lines.join(u'\n');
}

// The texts of a page's text items named so, top to bottom.
inline QStringList Texts(const PreparedPage& page, const QString& name = QString()) {
    QStringList out;
    for (const PreparedItem& item : page.Items)
        if (item.Kind == ItemKind::Text && (name.isEmpty() || item.Name == name))
            out << ItemText(item);
    return out;
}

inline QStringList AllTexts(const TfrxPreparedPages& pages, const QString& name) {
    QStringList out;
    for (int i = 0; i < pages.Count(); ++i)
        out << Texts(*pages.Page(i), name);
    return out;
}

}  // namespace enginetest
