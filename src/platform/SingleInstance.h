// The single-instance guard: an exclusive lock on "<name>.lock" in runtimeDir(), held until the
// process ends (the guard is never released by the program, like the named event it stands for).
// The kernel drops the lock when the process dies, so a crash never blocks the next start.
// Thread contract: UI thread, once at start-up.
#pragma once

#include <QString>

namespace platform {

class SingleInstanceGuard {
public:
    // Tries for up to waitMs milliseconds to become the only instance of name.
    // True when this process now holds the lock. Every call opens the lock file anew, just as
    // another process would, so a second call fails while an earlier lock is held.
    static bool acquire(const QString& name, int waitMs);
    static QString lockFilePath(const QString& name);
};

}  // namespace platform
