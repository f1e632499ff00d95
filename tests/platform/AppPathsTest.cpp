// Application folder, runtime folder and the case-blind path look-up.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "platform/AppPaths.h"
#include "TestEnv.h"

using testenv::Sandbox;
using testenv::ScopedEnv;

TEST(AppPaths, AppDirFollowsHomeVariableElseExecutable) {
    Sandbox box;
    EXPECT_EQ(platform::appDir(), box.appDir());
    {
        const ScopedEnv home("VELLUMAR_HOME", box.path() + "/other//");
        EXPECT_EQ(platform::appDir(), box.path() + "/other/");
    }
    const ScopedEnv unset("VELLUMAR_HOME", QString());
    EXPECT_EQ(platform::appDir(), QCoreApplication::applicationDirPath() + "/");
}

TEST(AppPaths, RuntimeDirHasNoTrailingSlash) {
    {
        const ScopedEnv run("XDG_RUNTIME_DIR", "/run/user/1000/");
        EXPECT_EQ(platform::runtimeDir(), "/run/user/1000");
    }
    const ScopedEnv unset("XDG_RUNTIME_DIR", QString());
    EXPECT_EQ(platform::runtimeDir(), QDir::tempPath());
}

TEST(AppPaths, ResolvesEveryComponentIgnoringCase) {
    Sandbox box;
    const QString app = box.appDir();
    Sandbox::writeFile(app + "Reports/Daily/Events.FR3", "x");
    Sandbox::writeFile(app + "zarin.ini", "x");

    struct Case {
        const char* relative;
        QString expected;
    } cases[] = {
        {"zarin.ini", app + "zarin.ini"},
        {"ZARIN.INI", app + "zarin.ini"},
        {"reports/daily/events.fr3", app + "Reports/Daily/Events.FR3"},
        {"REPORTS/Daily/EVENTS.fr3", app + "Reports/Daily/Events.FR3"},
        // Nothing matches: the path comes back as asked, for the caller's error message.
        {"reports/weekly/events.fr3", app + "reports/weekly/events.fr3"},
        {"missing.ini", app + "missing.ini"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::resolvePathIgnoringCase(app, c.relative), c.expected) << c.relative;
}
