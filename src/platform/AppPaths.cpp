// Application, runtime and case-insensitive path look-ups.
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace platform {
namespace {

QString withSlash(QString dir) {
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

QString executableDir() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists (static set-up, tools) the kernel still knows.
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return exe.isEmpty() ? QDir::currentPath() : QFileInfo(exe).absolutePath();
}

QString join(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

}  // namespace

QString appDir() {
    const QString home = qEnvironmentVariable("VELLUMAR_HOME");
    if (!home.isEmpty())
        return withSlash(QDir::cleanPath(QDir(home).absolutePath()));
    return withSlash(executableDir());
}

QString runtimeDir() {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = QDir::tempPath();
    while (dir.size() > 1 && dir.endsWith(u'/'))
        dir.chop(1);
    return dir;
}

QString resolvePathIgnoringCase(const QString& folder, const QString& relativePath) {
    const QString direct = join(folder, relativePath);
    if (QFileInfo::exists(direct))
        return direct;

    QString current = folder;
    const QStringList parts = relativePath.split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        const bool last = i + 1 == parts.size();
        if (part.isEmpty() || part == u"." || part == u"..") {
            current = last && part.isEmpty() ? join(current, QString()) : join(current, part);
            continue;
        }
        const QString exact = join(current, part);
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        const QDir dir(current.isEmpty() ? QStringLiteral(".") : current);
        const QStringList entries = dir.entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QString match;
        for (const QString& entry : entries) {
            if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                match = entry;
                break;
            }
        }
        if (match.isEmpty())
            return direct;
        current = join(current, match);
    }
    return current;
}

}  // namespace platform
