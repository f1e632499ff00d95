#include "reportengine/export/ExportFilter.h"

#include <QDir>
#include <QFileInfo>

namespace reportengine {

TfrxCustomExportFilter::TfrxCustomExportFilter(QObject* parent) : QObject(parent) {}

QString TfrxCustomExportFilter::FilterText() const {
    return QStringLiteral("%1 (*%2)").arg(GetDescription(), DefaultExt());
}

QString TfrxCustomExportFilter::TargetPath() const {
    if (FFileName.isEmpty() || QFileInfo(FFileName).isAbsolute() || FDefaultPath.isEmpty())
        return FFileName;
    return QDir(FDefaultPath).filePath(FFileName);
}

bool TfrxCustomExportFilter::SetError(const QString& text) {
    FError = text;
    return false;
}

std::vector<int> TfrxCustomExportFilter::ParsePageNumbers(const QString& text, int count) {
    std::vector<bool> chosen(std::size_t(std::max(count, 0)), false);
    bool any = false;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(u'-');
        bool ok1 = false, ok2 = false;
        const int from = ends.value(0).trimmed().toInt(&ok1);
        const int to = ends.size() == 2 ? ends[1].trimmed().toInt(&ok2) : from;
        if (!ok1 || (ends.size() == 2 && !ok2) || ends.size() > 2)
            continue;
        for (int n = std::max(from, 1); n <= std::min(to, count); ++n)
            chosen[std::size_t(n - 1)] = true, any = true;
    }
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        if (!any || chosen[std::size_t(i)])
            out.push_back(i);
    return out;
}

bool TfrxCustomExportFilter::Export(const TfrxPreparedPages& pages) {
    FError.clear();
    FTerminated = false;
    if (TargetPath().isEmpty())
        return SetError(tr("No file name given for the export"));
    const std::vector<int> chosen = ParsePageNumbers(FPageNumbers, pages.Count());
    if (chosen.empty())
        return SetError(tr("The report has no pages to export"));
    emit progressStart(kProgressExporting, int(chosen.size()));
    bool ok = Start(int(chosen.size()));
    try {
        for (std::size_t i = 0; ok && i < chosen.size(); ++i) {
            const auto page = pages.Page(chosen[i]);
            ok = page && ExportPage(*page, chosen[i], int(i));
            emit progress(kProgressExporting, chosen[i] + 1);
            if (ok && FTerminated)
                ok = SetError(tr("The export was cancelled"));
        }
    } catch (const std::exception& e) {
        ok = SetError(QString::fromUtf8(e.what()));
    }
    ok = Finish(ok) && ok;
    emit progressStop(kProgressExporting);
    return ok;
}

}  // namespace reportengine
