// The operator's sign-in against a real ktsd: the status decides editing, codes compare exactly,
// the first matching row decides, only valid marks count, and every failure has its outcome
// (message, termination request or neither) without a crash. The pass-code dialog is answered
// from the test through the modal handler.
#include "SignInServer.h"
#include "TestEnv.h"

#include "platform/MessageBox.h"
#include "platform/Termination.h"
#include "session/DataModule.h"
#include "session/PasswordDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <deque>

using session::TDataDB;
using session::TPasswordDlg;
using testenv::SignInServer;

namespace {

// What the operator saw of one showing of the pass-code dialog.
struct Showing {
    QString caption;
    bool boxEmpty;
    bool okEnabled;
};

class SignIn : public ::testing::Test {
protected:
    void SetUp() override {
        writeSettings("[SrvVellumar]\r\nSrvAddr=127.0.0.1\r\n");
        platform::setMessageHandler([this](const platform::MessageRequest& r) {
            messages << r.text;
            return platform::MsgResult::Ok;
        });
        platform::setModalHandler([this](QDialog& d) { return answer(d); });
        platform::setTerminationHandlers([this] { ++terminations; }, [](int) { std::abort(); });
        data.OnSetEditRights = [this](bool v) { rights.push_back(v); };
    }
    void TearDown() override {
        platform::setMessageHandler(nullptr);
        platform::setModalHandler(nullptr);
        platform::setTerminationHandlers(nullptr, nullptr);
        platform::resetTerminationState();
    }

    void writeSettings(const QByteArray& text) {
        testenv::Sandbox::writeFile(sandbox.appDir() + "zarin.ini", text);
    }

    // Types the next queued code and presses "Да"; Cancel when none is left.
    int answer(QDialog& d) {
        auto* dlg = qobject_cast<TPasswordDlg*>(&d);
        if (!dlg)
            return QDialog::Rejected;
        shown.push_back(
            {dlg->windowTitle(), dlg->Password->text().isEmpty(), dlg->OKBtn->isEnabled()});
        // A shown dialog runs the event loop: whatever the session posted arrives meanwhile.
        QCoreApplication::processEvents();
        if (beforeAnswer)
            beforeAnswer();
        if (codes.empty())
            return QDialog::Rejected;
        dlg->Password->setText(codes.front());
        codes.pop_front();
        return QDialog::Accepted;
    }

    // Runs the sign-in against server, typing the given codes in turn.
    void signIn(SignInServer& server, std::deque<QString> typed) {
        codes = std::move(typed);
        data.DefaultDB->SetPort(server.port());
        data.DataConnect();
    }

    // A fresh server; the database lets go of the previous one first, so that nobody waits for
    // a dead server's answer.
    SignInServer& startServer(bool withMarks = true) {
        data.DefaultDB->SetConnected(false);
        server = std::make_unique<SignInServer>(withMarks);
        return *server;
    }

    testenv::Sandbox sandbox;
    std::unique_ptr<SignInServer> server;  // outlives the database, which disconnects first
    TDataDB data;
    std::deque<QString> codes;
    std::function<void()> beforeAnswer;
    std::vector<Showing> shown;
    std::vector<bool> rights;
    QStringList messages;
    int terminations = 0;
};

TEST_F(SignIn, StatusDecidesEditing) {
    SignInServer& server = startServer();
    struct Case {
        const char* code;
        std::optional<int> status;
        bool canEdit;
    };
    const Case cases[] = {{"1111", 1, true},
                          {"2222", 2, true},
                          {"3333", 3, false},
                          {"4444", 4, false},
                          {"5555", std::nullopt, true}};
    for (const Case& c : cases)
        server.addMark(server.addPerson(c.status), c.code);
    // The plain form (bit 0x40 clear) signs in as well.
    server.addMark(server.addPerson(3), "plain", SignInServer::kValid);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        rights.clear();
        shown.clear();
        signIn(server, {c.code});
        EXPECT_EQ(rights, std::vector<bool>{c.canEdit});
        EXPECT_EQ(shown.size(), 1u);
    }
    rights.clear();
    signIn(server, {"plain"});
    EXPECT_EQ(rights, std::vector<bool>{false});

    EXPECT_TRUE(data.DefaultDB->Connected());
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(shown.front().caption, "Регистрация (KTS:127.0.0.1)");
    // Each run of the sign-in connected afresh: one request link logs in per run, after the
    // seeding's.
    EXPECT_EQ(server.server().count("login mode=0"), 1 + 6);
}

TEST_F(SignIn, WrongCodesReturnToAnEmptyDialogUntilCancel) {
    SignInServer& server = startServer();
    const int person = server.addPerson(1);
    server.addMark(person, "Secret");
    // Marks that are not valid for signing in: expired, not yet valid, another kind of mark,
    // without the sign-in bit.
    server.addMark(person, "expired", SignInServer::kValid, 1, "2000-01-01 00:00:00",
                   "2001-01-01 00:00:00");
    server.addMark(person, "future", SignInServer::kValid, 1, "2990-01-01 00:00:00");
    server.addMark(person, "kind2", SignInServer::kValid, 2);
    server.addMark(person, "nobit", SignInServer::kDifference);
    // A mark without a stored code matches nothing, not even an empty code; one without Config
    // reads as the plain form.
    server.addStoredMark(person, std::nullopt, SignInServer::kValid);
    server.addStoredMark(person, session::EncodePassCode("noconfig", 0, 0x20), std::nullopt);

    signIn(server,
           {"", "secret", "SECRET", "Secret ", "expired", "future", "kind2", "nobit", "noconfig"});
    EXPECT_TRUE(rights.empty());
    ASSERT_EQ(shown.size(), 10u);  // nine refusals, then Cancel
    // A fresh dialog is empty with "Да" enabled; after a refusal it is empty with "Да" disabled.
    EXPECT_TRUE(shown[0].boxEmpty && shown[0].okEnabled);
    for (size_t i = 1; i < shown.size(); ++i)
        EXPECT_TRUE(shown[i].boxEmpty && !shown[i].okEnabled) << i;
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(SignIn, NoValidMarksLeavesOnlyCancel) {
    SignInServer& server = startServer();
    server.addPerson(1);
    signIn(server, {"a", "b", ""});
    EXPECT_EQ(shown.size(), 4u);
    EXPECT_TRUE(rights.empty());
    EXPECT_EQ(terminations, 1);
}

TEST_F(SignIn, FirstDeliveredRowDecides) {
    // Two people whose codes decode alike (different stored forms); the first row wins.
    for (bool editorFirst : {true, false}) {
        SCOPED_TRACE(editorFirst);
        SignInServer& server = startServer();
        const int editor = server.addPerson(1);
        const int viewer = server.addPerson(4);
        server.addMark(editorFirst ? editor : viewer, "7777");
        server.addMark(editorFirst ? viewer : editor, "7777", SignInServer::kValid);
        rights.clear();
        signIn(server, {"7777"});
        EXPECT_EQ(rights, std::vector<bool>{editorFirst});
    }
}

TEST_F(SignIn, MissingSettingsFileEndsTheProgram) {
    QFile::remove(sandbox.appDir() + "zarin.ini");
    SignInServer& server = startServer();
    signIn(server, {"x"});
    EXPECT_EQ(messages, QStringList{"Файл \\zarin.ini не найден !"});
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(data.DefaultDB->Connected());
    EXPECT_EQ(server.server().count("login mode=0"), 1);  // the seeding connection only
}

TEST_F(SignIn, SettingsWithoutAddressMeanTheLocalServer) {
    writeSettings("; written by hand\r\n[Other]\r\nSrvAddr=10.0.0.1\r\n");
    data.DefaultDB->SetHost("192.0.2.1");
    SignInServer& server = startServer();
    server.addMark(server.addPerson(2), "ok");
    signIn(server, {"ok"});
    EXPECT_EQ(data.DefaultDB->Host(), "127.0.0.1");
    EXPECT_EQ(rights, std::vector<bool>{true});
}

TEST_F(SignIn, UnreachableServerEndsTheProgram) {
    // A port that was free a moment ago and has no listener now.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    data.DefaultDB->SetPort(port);
    codes = {"x"};
    data.DataConnect();
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("Ошибка соединения с KTS 127.0.0.1 : %1").arg(port)});
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(data.DefaultDB->Connected());
}

TEST_F(SignIn, QueryFailureLeavesTheProgramRunningNotSignedIn) {
    // The query names a table that is not there.
    SignInServer& server = startServer(/*withMarks=*/false);
    signIn(server, {"x", "y"});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("pMark")) << messages[0].toStdString();
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(rights.empty());
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(data.DefaultDB->Connected());
}

TEST_F(SignIn, ConnectionLostWhileTheDialogIsOpen) {
    startServer();
    server->addMark(server->addPerson(1), "1234");
    beforeAnswer = [&] {
        server.reset();
        testenv::waitUntil([&] { return !data.DefaultDB->Connected(); });
    };
    signIn(*server, {"1234"});
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(rights.empty());
    EXPECT_EQ(terminations, 0);
}

TEST_F(SignIn, WorkstationNameGoesToTheServer) {
    SignInServer& server = startServer();
    server.addMark(server.addPerson(1), "1");
    struct Case {
        std::optional<QString> computer;
        const char* clientName;
    };
    // Without a computer name the previous client name stays (the built-in one at first).
    const Case cases[] = {{std::nullopt, "R/Vellumar"},
                          {"ws-07", "R/ws-07"},
                          {std::nullopt, "R/ws-07"},
                          {"averyveryverylongname.example.org", "R/averyveryverylo"}};
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clientName);
        data.ComputerName = [&c] { return c.computer; };
        signIn(server, {"1"});
        EXPECT_EQ(data.DefaultDB->ClientName(), c.clientName);
        const QStringList logins = server.server().logins().filter("login mode=0");
        ASSERT_EQ(logins.size(), 1 + ++run);
        EXPECT_TRUE(logins.last().contains(QStringLiteral("name=\"%1\"").arg(c.clientName)))
            << logins.last().toStdString();
    }
}

TEST_F(SignIn, StoreServerAddressNeedsTheSettingsFile) {
    SignInServer& server = startServer();
    server.addMark(server.addPerson(1), "1");
    data.DefaultDB->SetPort(server.port());
    data.DefaultDB->SetHost("localhost");
    codes = {"1"};
    data.StoreServerAddress();
    EXPECT_TRUE(
        testenv::Sandbox::readFile(sandbox.appDir() + "zarin.ini").contains("SrvAddr=localhost"));
    EXPECT_EQ(data.DefaultDB->Host(), "localhost");
    EXPECT_EQ(rights, std::vector<bool>{true});

    QFile::remove(sandbox.appDir() + "zarin.ini");
    data.DefaultDB->SetConnected(false);
    data.StoreServerAddress();
    EXPECT_FALSE(QFile::exists(sandbox.appDir() + "zarin.ini"));
    EXPECT_FALSE(data.DefaultDB->Connected());
    EXPECT_TRUE(messages.isEmpty());
}

TEST(ClientName, CutAsTheComputerNameBufferAllows) {
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"", std::nullopt},
        {"pc", "R/pc"},
        {"exactly15chars_", "R/exactly15chars_"},
        {"sixteen_chars_16", "R/sixteen_chars_1"},
        {"host.domain", "R/host"},
        {".domain", std::nullopt},
    };
    for (const auto& [host, expected] : cases)
        EXPECT_EQ(session::ClientNameFor(host), expected) << host;
}

}  // namespace

namespace {

TEST(PasswordDlg, YesFollowsTheBoxOnceItChanges) {
    TPasswordDlg dlg;
    EXPECT_EQ(dlg.size(), QSize(233, 106));
    EXPECT_EQ(dlg.windowTitle(), "Регистрация");
    EXPECT_EQ(dlg.Password->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_TRUE(dlg.OKBtn->isEnabled());  // a fresh, empty dialog still lets "Да" through
    const std::pair<const char*, bool> steps[] = {{"a", true}, {"", false}, {"b", true}};
    for (const auto& [text, enabled] : steps) {
        dlg.Password->setText(text);
        EXPECT_EQ(dlg.OKBtn->isEnabled(), enabled) << text;
    }
    dlg.ClearPassword();
    EXPECT_TRUE(dlg.Password->text().isEmpty());
    EXPECT_FALSE(dlg.OKBtn->isEnabled());
}

}  // namespace
