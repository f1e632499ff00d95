// Language files and the window string tables that read them.
#include <gtest/gtest.h>

#include "TestEnv.h"
#include "platform/LangDispatcher.h"

using platform::LangDispatcher;
using platform::StringTable;

namespace {

struct InstalledDispatcher {
    explicit InstalledDispatcher(LangDispatcher* d) { LangDispatcher::install(d); }
    ~InstalledDispatcher() { LangDispatcher::install(nullptr); }
};

}  // namespace

TEST(LangFile, ParsesSectionsLanguagesEscapesAndIgnoresNoise) {
    const QByteArray text =
        "; comment\n"
        "# comment too\n"
        "orphan.2=before any section\n"
        "[Languages]\r\n"
        "2 = Deutsch\n"
        "x=not a number\n"
        "[TMainForm]\n"
        "IDS_1.2 =  Zwei Zeilen\\nund \\\\ Schrägstrich  \n"
        "IDS_1.1=Один\n"
        "NoLanguage=ignored\n"
        "Bad.0=ignored\n"
        "Dotted.Key.Hint.2=Hint\n"
        "=no key\n"
        "[Other]\n"
        "IDS_1.2=other window\n";
    const auto contents = platform::parseLangFile(text);
    EXPECT_EQ(contents.languageNames.value(2), "Deutsch");
    EXPECT_EQ(contents.languageNames.size(), 1);
    const auto slot = contents.texts.value(platform::LangFileContents::slot("TMainForm", "IDS_1"));
    EXPECT_EQ(slot.value(2), "Zwei Zeilen\nund \\ Schrägstrich");
    EXPECT_EQ(slot.value(1), "Один");
    EXPECT_EQ(contents.texts.value(platform::LangFileContents::slot("TMainForm", "Dotted.Key.Hint"))
                  .value(2),
              "Hint");
    EXPECT_FALSE(
        contents.texts.contains(platform::LangFileContents::slot("TMainForm", "NoLanguage")));
    EXPECT_FALSE(contents.texts.contains(platform::LangFileContents::slot("TMainForm", "Bad")));
    EXPECT_EQ(contents.texts.value(platform::LangFileContents::slot("Other", "IDS_1")).value(2),
              "other window");
}

TEST(LangDispatcher, ActiveLanguageStaysWithinTheKnownOnes) {
    LangDispatcher d({"Русский", "English"}, 2);
    EXPECT_EQ(d.activeLanguage(), 2);
    EXPECT_FALSE(d.setActiveLanguage(0));
    EXPECT_FALSE(d.setActiveLanguage(3));
    EXPECT_EQ(d.activeLanguage(), 2);
    EXPECT_TRUE(d.setActiveLanguage(1));
    EXPECT_EQ(d.languageName(1), "Русский");
    EXPECT_EQ(d.languageName(3), "");
}

TEST(LangDispatcher, TablesUseTheFileForTheActiveLanguageAndFallBackToBuiltIn) {
    testenv::Sandbox sandbox;
    const QString file = sandbox.path() + "/lang.sib";
    testenv::Sandbox::writeFile(file, "[Win]\nA.2=English A\nB.1=Русское B из файла\n");
    const StringTable table("Win", {{"A", "Русское A"}, {"B", "Русское B"}});

    EXPECT_EQ(table("A"), "Русское A");  // no dispatcher: built-in
    EXPECT_EQ(table("Missing"), "Missing");

    LangDispatcher d({"Русский", "English"}, 2);
    ASSERT_TRUE(d.setFileName(file));
    InstalledDispatcher installed(&d);
    EXPECT_EQ(table("A"), "English A");
    EXPECT_EQ(table("B"), "Русское B");  // language 2 has no B
    d.setActiveLanguage(1);
    EXPECT_EQ(table("A"), "Русское A");
    EXPECT_EQ(table("B"), "Русское B из файла");

    ASSERT_TRUE(d.setFileName(sandbox.path() + "/missing.sib"));  // missing: built-in texts
    EXPECT_EQ(table("B"), "Русское B");
}
