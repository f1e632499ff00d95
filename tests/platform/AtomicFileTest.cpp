// Atomic replacement: the new bytes arrive whole or not at all, permissions carry over, and every
// failure leaves the old file and no temporary file behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "TestEnv.h"

using platform::EFileError;
using platform::writeFileAtomically;
using testenv::Sandbox;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QString errorOf(const QString& path, const QByteArray& data) {
    try {
        writeFileAtomically(path, data);
    } catch (const EFileError& e) {
        return e.Message();
    }
    return QString();
}

}  // namespace

TEST(AtomicFile, ReplacesContentAndKeepsPermissions) {
    Sandbox box;
    const QString path = box.path() + "/settings.txt";
    writeFileAtomically(path, "first");
    EXPECT_EQ(Sandbox::readFile(path), "first");

    ::chmod(QFile::encodeName(path).constData(), 0640);
    writeFileAtomically(path, QByteArray(100000, 'x'));
    EXPECT_EQ(Sandbox::readFile(path), QByteArray(100000, 'x'));
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(QDir(box.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.txt"});
}

TEST(AtomicFile, WritesThroughASymlink) {
    Sandbox box;
    const QString real = box.path() + "/real.ini";
    const QString link = box.path() + "/link.ini";
    Sandbox::writeFile(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    writeFileAtomically(link, "new");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Sandbox::readFile(real), "new");
}

TEST(AtomicFile, ReadOnlyTargetIsRefusedEvenForRoot) {
    Sandbox box;
    const QString path = box.path() + "/locked.txt";
    Sandbox::writeFile(path, "keep me");
    ::chmod(QFile::encodeName(path).constData(), 0444);

    const QString error = errorOf(path, "overwrite");
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_TRUE(error.contains("read-only")) << error.toStdString();
    EXPECT_EQ(Sandbox::readFile(path), "keep me");
}

TEST(AtomicFile, UnusableFolderGivesPathAndSystemReason) {
    Sandbox box;
    const QString notAFolder = box.path() + "/plain";
    Sandbox::writeFile(notAFolder, "x");
    const QString path = notAFolder + "/file.txt";

    const QString error = errorOf(path, "data");
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(strerror(ENOTDIR)))) << error.toStdString();
    EXPECT_EQ(Sandbox::readFile(notAFolder), "x");
}

// A write that fails half-way (here: the file-size limit, which binds root too) must leave the
// old file whole and take its temporary file away.
TEST(AtomicFile, FailedWriteLeavesOldFileWhole) {
    Sandbox box;
    const QString path = box.path() + "/big.dat";
    Sandbox::writeFile(path, "old content");

    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = errorOf(path, QByteArray(1 << 20, 'n'));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(strerror(EFBIG)))) << error.toStdString();
    EXPECT_EQ(Sandbox::readFile(path), "old content");
    EXPECT_EQ(QDir(box.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"big.dat"});
}
