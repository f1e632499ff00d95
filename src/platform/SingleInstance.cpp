// The single-instance guard: flock on a file in the runtime folder. A lock is tied to the open file
// description, so the descriptor of a won lock is kept open on purpose until the process ends;
// the kernel releases it then, even after a crash. UI thread, once at start-up.
#include "platform/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/AppPaths.h"

namespace platform {

namespace {

// A short pause between attempts: the other instance may be just ending, and a start-up that
// waits a moment should not spin a core while it does.
void pauseBriefly() {
    timespec ts{0, 1000 * 1000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// One non-blocking attempt on an open descriptor. False when someone else holds the lock (or the
// file system refuses locks, which we cannot wait out either; the caller keeps trying until the
// deadline in both cases).
bool tryLock(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

}  // namespace

QString SingleInstanceGuard::lockFilePath(const QString& name) {
    return runtimeDir() + QLatin1Char('/') + name + QStringLiteral(".lock");
}

bool SingleInstanceGuard::acquire(const QString& name, int waitMs) {
    QDir().mkpath(runtimeDir());
    const QByteArray path = QFile::encodeName(lockFilePath(name));
    // Close-on-exec: a program started by us (a mail client, a viewer) must not inherit the
    // descriptor, or it would keep the lock alive after we exit and block the next start.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qWarning("Single-instance lock file %s cannot be opened: %s", path.constData(),
                 strerror(errno));
        return false;
    }

    const QDeadlineTimer deadline(qMax(waitMs, 0));
    for (;;) {
        if (tryLock(fd))
            return true;  // fd stays open for the life of the process: it is the lock
        if (deadline.hasExpired())
            break;
        pauseBriefly();
    }
    ::close(fd);
    return false;
}

}  // namespace platform
