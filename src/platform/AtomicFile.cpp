// Atomic file replacement: unique temporary file beside the target, write, fsync, rename, fsync of
// the folder. The temporary file is removed on every failure path.
#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Exception.h"

namespace platform {
namespace {

[[noreturn]] void fail(const QString& path, const QString& what, int err) {
    throw EFileError(QStringLiteral("Cannot write file '%1': %2: %3")
                         .arg(path, what, QString::fromLocal8Bit(std::strerror(err))));
}

// Closes and unlinks the temporary file unless it was renamed into place.
class TempFile {
public:
    ~TempFile() {
        if (fd >= 0)
            ::close(fd);
        if (!name.isEmpty())
            ::unlink(name.constData());
    }
    int fd = -1;
    QByteArray name;  // empty once renamed
};

// A symlinked target is replaced through its link, so the link itself stays.
QByteArray resolveTarget(const QByteArray& target) {
    struct stat st;
    if (::lstat(target.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char buf[PATH_MAX];
        if (::realpath(target.constData(), buf))
            return QByteArray(buf);
    }
    return target;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    if (slash == 0)
        return "/";
    return path.left(slash);
}

}  // namespace

void writeFileAtomically(const QString& path, const QByteArray& data) {
    if (path.isEmpty())
        throw EFileError(QStringLiteral("Cannot write file: no file name"));
    const QByteArray target = resolveTarget(QFile::encodeName(path));
    const QByteArray folder = folderOf(target);

    struct stat old;
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        fail(path, QStringLiteral("the target is a folder"), EISDIR);
    // Renaming over a device or a pipe would replace it with a plain file.
    if (exists && !S_ISREG(old.st_mode))
        throw EFileError(QStringLiteral("Cannot write file '%1': not a regular file").arg(path));
    // Mode bits, not access(): root passes access() for any file, yet a file that nobody may
    // write must stay read-only for root too.
    if (exists && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw EFileError(QStringLiteral("Cannot write file '%1': the file is read-only").arg(path));

    TempFile tmp;
    const QByteArray base = target.mid(target.lastIndexOf('/') + 1);
    for (int attempt = 0; attempt < 100 && tmp.fd < 0; ++attempt) {
        const QByteArray candidate =
            folder + '/' + '.' + base + ".tmp-" +
            QByteArray::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFFull, 36);
        tmp.fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (tmp.fd >= 0)
            tmp.name = candidate;
        else if (errno != EEXIST)
            fail(path,
                 QStringLiteral("cannot create a temporary file in '%1'")
                     .arg(QFile::decodeName(folder)),
                 errno);
    }
    if (tmp.fd < 0)
        fail(path, QStringLiteral("cannot create a temporary file"), EEXIST);

    if (exists) {
        // The new file takes the old one's permissions (and owner, where we are allowed to).
        if (::fchmod(tmp.fd, old.st_mode & 07777) != 0)
            fail(path, QStringLiteral("cannot set permissions"), errno);
        if (::geteuid() == 0)
            (void)::fchown(tmp.fd, old.st_uid, old.st_gid);
    }

    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(tmp.fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(path, QStringLiteral("write failed"), errno);
        }
        p += n;
        left -= n;
    }
    if (::fsync(tmp.fd) != 0)
        fail(path, QStringLiteral("flush to disk failed"), errno);
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        fail(path, QStringLiteral("close failed"), errno);
    if (::rename(tmp.name.constData(), target.constData()) != 0)
        fail(path, QStringLiteral("cannot replace the file"), errno);
    tmp.name.clear();

    // Makes the rename itself durable. The file is already replaced at this point, so a failure
    // here is not reported: the caller's data is in place.
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
}

}  // namespace platform
