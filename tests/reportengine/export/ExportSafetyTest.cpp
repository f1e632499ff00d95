// What every file-writing filter guarantees: a cancelled or failed export leaves no file under
// the chosen name (an existing one stays as it was), no temporary file beside it, and a
// successful one leaves nothing but its output.
#include "reportengine/export/ExportRegistry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "ExportSamples.h"
#include "TestEnv.h"

using namespace reportengine;

namespace {

struct SafetyFixture : ::testing::Test {
    TfrxPreparedPages pages;
    void SetUp() override {
        for (PreparedPage& p : exportsamples::eventReport())
            pages.AddPage(std::move(p));
    }
    static QStringList files(const QTemporaryDir& dir) {
        return QDir(dir.path())
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    static void writeOld(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    // Every filter that writes files: all registered but e-mail.
    static std::vector<const ExportFilterSlot*> fileFilters() {
        std::vector<const ExportFilterSlot*> out;
        for (const RegisteredExportFilter& f : RegisteredExportFilters())
            if (f.Slot->Format != ExportFormat::Mail)
                out.push_back(f.Slot);
        return out;
    }
};

}  // namespace

TEST_F(SafetyFixture, CancelledExportLeavesNothingAndKeepsTheOldFile) {
    for (const ExportFilterSlot* slot : fileFilters()) {
        SCOPED_TRACE(slot->ClassName);
        QTemporaryDir dir;
        const QString target = dir.filePath("out" + slot->Create()->DefaultExt());
        writeOld(target);
        auto filter = slot->Create();
        filter->SetFileName(target);
        QObject::connect(filter.get(), &TfrxCustomExportFilter::progress,
                         [&f = *filter] { f.Terminate(); });
        EXPECT_FALSE(filter->Export(pages));
        EXPECT_TRUE(filter->ErrorText().contains("cancelled")) << filter->ErrorText().toStdString();
        EXPECT_EQ(testenv::Sandbox::readFile(target), "old");
        EXPECT_EQ(files(dir), QStringList{QFileInfo(target).fileName()});

        QFile::remove(target);
        filter->SetFileName(target);
        EXPECT_FALSE(filter->Export(pages));
        EXPECT_EQ(files(dir), QStringList{}) << "no file, not even a temporary one";
    }
}

TEST_F(SafetyFixture, FailedExportLeavesNothing) {
    for (const ExportFilterSlot* slot : fileFilters()) {
        SCOPED_TRACE(slot->ClassName);
        QTemporaryDir dir;
        auto missing = slot->Create();
        missing->SetFileName(dir.filePath("no/such/folder/x" + missing->DefaultExt()));
        EXPECT_FALSE(missing->Export(pages));
        EXPECT_TRUE(missing->ErrorText().contains("no/such/folder"))
            << missing->ErrorText().toStdString();
        EXPECT_EQ(files(dir), QStringList{});

        // A read-only file is refused whoever runs the test (root included), and stays.
        const QString target = dir.filePath("ro" + missing->DefaultExt());
        writeOld(target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        auto readOnly = slot->Create();
        readOnly->setProperty("PageNumbers", "1");  // picture filters: one file, the name itself
        readOnly->SetFileName(target);
        EXPECT_FALSE(readOnly->Export(pages));
        EXPECT_EQ(testenv::Sandbox::readFile(target), "old");
        EXPECT_EQ(files(dir), QStringList{QFileInfo(target).fileName()});
    }
}

TEST_F(SafetyFixture, SuccessfulExportLeavesOnlyItsOutput) {
    for (const ExportFilterSlot* slot : fileFilters()) {
        SCOPED_TRACE(slot->ClassName);
        QTemporaryDir dir;
        auto filter = slot->Create();
        const QString name = "out" + filter->DefaultExt();
        writeOld(dir.filePath(name));  // replaced
        filter->setProperty("PageNumbers", "2");
        filter->SetFileName(dir.filePath(name));
        ASSERT_TRUE(filter->Export(pages)) << filter->ErrorText().toStdString();
        EXPECT_EQ(files(dir), QStringList{name});
        EXPECT_NE(testenv::Sandbox::readFile(dir.filePath(name)), "old");
    }
}

TEST_F(SafetyFixture, OutputsGetTheModeOfTheFileTheyReplaceOrOfANewFile) {
    // Some writers create private files of their own (giflib does); the output must not be.
    const mode_t mask = ::umask(022);
    for (const ExportFilterSlot* slot : fileFilters()) {
        SCOPED_TRACE(slot->ClassName);
        QTemporaryDir dir;
        auto fresh = slot->Create();
        fresh->setProperty("PageNumbers", "1");
        fresh->SetFileName(dir.filePath("new" + fresh->DefaultExt()));
        ASSERT_TRUE(fresh->Export(pages)) << fresh->ErrorText().toStdString();
        for (const QString& file : files(dir)) {
            struct stat st;
            ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(file)).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0644u) << file.toStdString();
        }
        auto replacing = slot->Create();
        const QString kept = dir.filePath("kept" + replacing->DefaultExt());
        writeOld(kept);
        ::chmod(QFile::encodeName(kept).constData(), 0640);
        replacing->setProperty("PageNumbers", "1");
        replacing->SetFileName(kept);
        ASSERT_TRUE(replacing->Export(pages)) << replacing->ErrorText().toStdString();
        struct stat st;
        if (::stat(QFile::encodeName(kept).constData(), &st) == 0) {  // picture formats number pages
            EXPECT_EQ(st.st_mode & 0777, 0640u);
        }
    }
    ::umask(mask);
}

TEST_F(SafetyFixture, ALinkedTargetIsWrittenThroughTheLink) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    const QString real = dir.filePath("real/book.csv"), link = dir.filePath("book.csv");
    writeOld(real);
    ASSERT_TRUE(QFile::link(real, link));
    auto filter = CreateExportFilter(ExportFormat::CSV);
    filter->SetFileName(link);
    ASSERT_TRUE(filter->Export(pages)) << filter->ErrorText().toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(testenv::Sandbox::readFile(real).contains("Журнал событий"));
}
