// Start-up rules: the language value, a second instance, the control-shell check and the
// message the shell receives.
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QThread>

#include "AppFixture.h"
#include "platform/ControlShell.h"
#include "platform/Exception.h"
#include "platform/Registry.h"

using platform::Registry;
using platform::RootKey;

namespace {

std::optional<int> storedLanguage() {
    Registry r(RootKey::HKEY_LOCAL_MACHINE);
    if (!r.OpenKey(TLanguages::kLanguageKey, false) || !r.ValueExists("LangActive"))
        return std::nullopt;
    try {
        return r.ReadInteger("LangActive");
    } catch (const platform::Exception&) {
        return std::nullopt;
    }
}

}  // namespace

TEST_F(AppTest, LanguageValueDecidesTheActiveLanguage) {
    struct Case {
        const char* name;
        bool keyExists;
        std::optional<QVariant> stored;  // int or string
        int expectedActive;
        std::optional<int> expectedStored;
    };
    const Case cases[] = {
        // Without the program's key the built-in default (2) stays and nothing is written.
        {"no key", false, std::nullopt, 2, std::nullopt},
        {"key without value", true, std::nullopt, 1, 1},
        {"value of another type", true, QVariant("two"), 1, 1},
        {"no such language", true, QVariant(7), 1, 1},
        {"zero", true, QVariant(0), 1, 1},
        {"valid", true, QVariant(2), 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Registry r(RootKey::HKEY_LOCAL_MACHINE);
        r.DeleteKey("\\SOFTWARE");
        if (c.keyExists) {
            ASSERT_TRUE(r.OpenKey(TLanguages::kLanguageKey, true));
            if (c.stored && c.stored->typeId() == QMetaType::Int)
                r.WriteInteger("LangActive", c.stored->toInt());
            else if (c.stored)
                r.WriteString("LangActive", c.stored->toString());
        }
        TLanguages languages;
        EXPECT_EQ(languages.siLangDispatcher().activeLanguage(), c.expectedActive);
        EXPECT_EQ(storedLanguage(), c.expectedStored);
        EXPECT_EQ(Registry(RootKey::HKEY_LOCAL_MACHINE).KeyExists(TLanguages::kLanguageKey),
                  c.keyExists);
    }
}

TEST_F(AppTest, LanguageMenuListsLanguagesChecksTheActiveOneAndIsHidden) {
    auto form = startProgram();
    ASSERT_EQ(form->LanguageItems.size(), 2);
    EXPECT_EQ(form->LanguageItems[0]->text(), "Русский");
    EXPECT_EQ(form->LanguageItems[1]->text(), "English");
    EXPECT_TRUE(form->LanguageItems[1]->isChecked());  // built-in default
    EXPECT_FALSE(form->LanguagesMenu->menuAction()->isVisible());
}

TEST_F(AppTest, ChoosingAnotherLanguageAsksAndStoresItForTheNextStart) {
    auto form = startProgram();
    form->LanguageItemClick(2);  // the active one: nothing at all
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(storedLanguage(), std::nullopt);

    answer = platform::MsgResult::Yes;
    form->LanguageItemClick(1);
    ASSERT_EQ(messages.size(), 2);  // the question, then the explanation
    EXPECT_EQ(messages[0], MainTexts()("Err1"));
    EXPECT_EQ(messages[1], MainTexts()("Err2"));
    EXPECT_EQ(storedLanguage(), 1);
    EXPECT_EQ(languages->siLangDispatcher().activeLanguage(), 2);  // unchanged in this run

    messages.clear();
    answer = platform::MsgResult::No;
    languages->siLangDispatcher().setActiveLanguage(1);
    form->LanguageItemClick(2);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(storedLanguage(), 2);  // stored whatever the answer
}

TEST_F(AppTest, LanguageFileTranslatesAndMissingTextsFallBackToBuiltIn) {
    QDir().mkpath(sandbox.appDir() + "lang");
    QFile::copy(VELLUMAR_SOURCE_DIR "/resources/lang/Vellumar_lang.sib",
                sandbox.appDir() + "lang/vellumar_LANG.sib");  // found whatever the letter case
    auto form = startProgram();
    EXPECT_EQ(form->FileMenu->title(), "File");
    EXPECT_EQ(MainTexts()("IDS_2"), "Зарин Про. Управляющая оболочка");  // not in the file
}

TEST_F(AppTest, SecondInstanceSaysSoRequestsTerminationAndStillSavesItsLayout) {
    auto first = startProgram();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(platform::terminationRequested());

    // No shell runs and there is no "/notshell": a second instance skips the shell check.
    auto second = std::make_unique<TMainForm>(QStringList{"vellumar"});
    EXPECT_EQ(messages, QStringList{MainTexts()("IDS_1")});
    EXPECT_TRUE(platform::terminationRequested());
    second.reset();
    EXPECT_TRUE(Registry(RootKey::HKEY_LOCAL_MACHINE).KeyExists(TMainForm::kToolbarSection));
    EXPECT_TRUE(Registry(RootKey::HKEY_LOCAL_MACHINE).KeyExists(TMainForm::kFormSection));
}

TEST_F(AppTest, OnlyALastNotshellParameterSkipsTheShellCheck) {
    struct Case {
        QStringList arguments;
        bool checksShell;
    };
    const Case cases[] = {
        {{"vellumar", "/notshell"}, false},
        {{"vellumar", "a=1", "/NotShell"}, false},
        {{"vellumar"}, true},
        {{"vellumar", "/notshell", "a=1"}, true},
        {{"vellumar", "notshell"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        freshRuntimeFolder();  // every start is a first instance
        messages.clear();
        std::optional<int> exitCode;
        try {
            startProgram(c.arguments);
        } catch (const ProcessExit& e) {
            exitCode = e.code;
            MainForm = nullptr;  // the window died half-built, as a process would
        }
        if (c.checksShell) {
            EXPECT_EQ(exitCode, 0);
            EXPECT_EQ(messages, QStringList{MainTexts()("IDS_3")});
            EXPECT_EQ(MainTexts()("IDS_3"), "Незапущена оболочка АРМ \"Зарин Про\"");
        } else {
            EXPECT_EQ(exitCode, std::nullopt);
            EXPECT_TRUE(messages.isEmpty());
        }
    }
}

TEST_F(AppTest, ExitForMissingShellSavesNothing) {
    try {
        startProgram({"vellumar"});
    } catch (const ProcessExit&) {
        MainForm = nullptr;
    }
    EXPECT_FALSE(Registry(RootKey::HKEY_LOCAL_MACHINE).KeyExists(TMainForm::kFormSection));
}

TEST_F(AppTest, RunningShellReceivesMessage1623WithTheWindowAnd27518) {
    const QString shellBinary = VELLUMAR_BINARY_DIR "/tools/control-shell/control-shell";
    if (!QFile::exists(shellBinary))
        GTEST_SKIP() << "control-shell not built";
    const QString log = sandbox.path() + "/shell.log";
    QProcess shell;
    shell.start(shellBinary, {"--log", log});
    ASSERT_TRUE(shell.waitForStarted());
    for (int i = 0;
         i < 100 && !QFile::exists(platform::ControlShellLocator::socketPath("TfrmZarinShell"));
         ++i)
        QThread::msleep(20);

    auto form = startProgram({"vellumar"});
    EXPECT_TRUE(messages.isEmpty());
    const QByteArray expected =
        QStringLiteral("message 1623 wParam=%1 lParam=27518").arg(quint64(form->winId())).toUtf8();
    QByteArray logged;
    for (int i = 0; i < 100 && !logged.contains(expected); ++i) {
        QThread::msleep(20);
        logged = testenv::Sandbox::readFile(log);
    }
    EXPECT_TRUE(logged.contains(expected)) << logged.toStdString();
    shell.kill();
    shell.waitForFinished();
}
