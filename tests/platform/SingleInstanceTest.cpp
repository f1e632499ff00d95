// Tests of the single-instance guard: one holder at a time per lock name, within this process and
// across processes, and the lock passing on when its holder ends.
#include <gtest/gtest.h>

#include <QFileInfo>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/SingleInstance.h"
#include "TestEnv.h"

using platform::SingleInstanceGuard;

namespace {

const QString kName = QStringLiteral("ReportPro");

}  // namespace

TEST(SingleInstanceGuard, SecondAcquireFailsWhileTheFirstIsHeld) {
    testenv::Sandbox sandbox;
    EXPECT_EQ(SingleInstanceGuard::lockFilePath(kName), sandbox.path() + "/run/ReportPro.lock");

    EXPECT_TRUE(SingleInstanceGuard::acquire(kName, 0));
    EXPECT_TRUE(QFileInfo::exists(SingleInstanceGuard::lockFilePath(kName)));
    EXPECT_FALSE(SingleInstanceGuard::acquire(kName, 0));
    EXPECT_FALSE(SingleInstanceGuard::acquire(kName, 30));  // waiting does not outlast a holder
    EXPECT_TRUE(SingleInstanceGuard::acquire(QStringLiteral("OtherProgram"), 0));
}

TEST(SingleInstanceGuard, CreatesAMissingRuntimeFolder) {
    testenv::Sandbox sandbox;
    testenv::ScopedEnv runtime("XDG_RUNTIME_DIR", sandbox.path() + "/not/yet/there");
    EXPECT_TRUE(SingleInstanceGuard::acquire(kName, 0));
    EXPECT_TRUE(QFileInfo::exists(sandbox.path() + "/not/yet/there/ReportPro.lock"));
}

// A child process takes the lock and keeps it until told to end; we must fail while it lives and
// win once it is gone (the kernel drops the lock with the process; nobody unlocks it).
TEST(SingleInstanceGuard, LockPassesOnWhenTheHoldingProcessEnds) {
    testenv::Sandbox sandbox;
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        const char won = SingleInstanceGuard::acquire(kName, 0) ? '1' : '0';
        (void)!::write(ready[1], &won, 1);
        char byte;
        (void)!::read(release[0], &byte, 1);  // returns when the parent closes its end
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);

    char childWon = 0;
    const bool childAnswered = ::read(ready[0], &childWon, 1) == 1;
    const bool heldByChild = !SingleInstanceGuard::acquire(kName, 0);
    ::close(release[1]);  // let the child end, also when an expectation above failed
    // Asked before the child has surely exited, so this also exercises waiting for the lock.
    const bool wonAfterChild = SingleInstanceGuard::acquire(kName, 30000);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);

    ASSERT_TRUE(childAnswered);
    EXPECT_EQ(childWon, '1');
    EXPECT_TRUE(heldByChild);
    EXPECT_TRUE(wonAfterChild);
}
