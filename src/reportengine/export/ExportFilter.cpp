#include "reportengine/export/ExportFilter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

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
    FStaged.clear();
    if (TargetPath().isEmpty())
        return SetError(tr("No file name given for the export"));
    const std::vector<int> chosen = ParsePageNumbers(FPageNumbers, pages.Count());
    if (chosen.empty())
        return SetError(tr("The report has no pages to export"));
    emit progressStart(kProgressExporting, int(chosen.size()));
    bool ok = run(pages, chosen);
    ok = ok && commitStaged();
    if (!ok)
        discardStaged();
    FStaged.clear();
    emit progressStop(kProgressExporting);
    return ok;
}

bool TfrxCustomExportFilter::run(const TfrxPreparedPages& pages, const std::vector<int>& chosen) {
    bool ok = false;
    try {
        ok = Start(int(chosen.size()));
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
    try {  // also after a failed Start: Finish releases what Start got
        return Finish(ok) && ok;
    } catch (const std::exception& e) {
        return SetError(QString::fromUtf8(e.what()));
    }
}

// --- staged output files -------------------------------------------------------------------

namespace {

mode_t CurrentUmask() {
    // umask can only be read by setting it; export runs on one thread at a time.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

}  // namespace

QString TfrxCustomExportFilter::StagingPath(const QString& name) {
    // A link is replaced through the link: the file it points to gets the new content.
    const QFileInfo named(name);
    const QString finalPath = named.isSymLink() ? named.symLinkTarget() : name;
    for (const Staged& s : FStaged)
        if (s.Final == finalPath)
            return s.Temp;
    const QFileInfo info(finalPath);
    const QString temp = info.dir().filePath(
        QStringLiteral(".%1.%2.part")
            .arg(info.fileName())
            .arg(qulonglong(QRandomGenerator::global()->generate64()), 16, 16, QChar(u'0')));
    FStaged.push_back({temp, finalPath});
    return temp;
}

bool TfrxCustomExportFilter::WriteOutputFile(const QString& finalPath, const QByteArray& data) {
    QFile file(StagingPath(finalPath));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() ||
        !file.flush())
        return SetError(QStringLiteral("%1: %2").arg(finalPath, file.errorString()));
    return true;
}

bool TfrxCustomExportFilter::commitStaged() {
    for (const Staged& s : FStaged) {
        const QByteArray temp = QFile::encodeName(s.Temp), target = QFile::encodeName(s.Final);
        struct stat old;
        const bool replacing = ::stat(target.constData(), &old) == 0;
        if (replacing &&
            (S_ISDIR(old.st_mode) || (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0))
            return SetError(tr("%1: the file is read-only or a folder").arg(s.Final));
        const int fd = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return SetError(tr("%1: the file was not written").arg(s.Final));
        // Writers that create their own files (giflib, temporary files) make them private; the
        // result gets the mode of the file it replaces, or that of any new file.
        ::fchmod(fd, replacing ? (old.st_mode & 07777) : (0666 & ~CurrentUmask()));
        const bool synced = ::fsync(fd) == 0;
        ::close(fd);
        if (!synced)
            return SetError(QStringLiteral("%1: %2").arg(
                s.Final, QString::fromLocal8Bit(std::strerror(errno))));
    }
    // Only now that every file is complete do the chosen names change.
    for (std::size_t i = 0; i < FStaged.size(); ++i) {
        const Staged& s = FStaged[i];
        if (::rename(QFile::encodeName(s.Temp).constData(),
                     QFile::encodeName(s.Final).constData()) != 0) {
            SetError(QStringLiteral("%1: %2").arg(s.Final,
                                                  QString::fromLocal8Bit(std::strerror(errno))));
            FStaged.erase(FStaged.begin(), FStaged.begin() + std::ptrdiff_t(i));  // in place now
            return false;
        }
    }
    FStaged.clear();
    return true;
}

void TfrxCustomExportFilter::discardStaged() {
    for (const Staged& s : FStaged)
        QFile::remove(s.Temp);
}

}  // namespace reportengine
