// The data module bound to the main window against a real ktsd: showing the window signs in and
// sets the rights, "Переподключится" is offered only while disconnected, and the server dialog's
// outcomes (cancel, unchanged host, empty box, exact comparison, no settings file). The computer
// browser's list and its effect on the dialog. Dialogs are answered by the test.
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryFile>

#include "AppFixture.h"
#include "app/ComputerBrowser.h"
#include "app/DlgSetServerName.h"
#include "catalog/Report.h"
#include "session/DataModule.h"
#include "session/PasswordDlg.h"
#include "session/SignInServer.h"

namespace {

class ServerTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        testenv::Sandbox::writeFile(sandbox.appDir() + "zarin.ini",
                                    "[SrvVellumar]\r\nSrvAddr=127.0.0.1\r\n");
        server = std::make_unique<testenv::SignInServer>();
        server->addMark(server->addPerson(4), "4444");
        server->addMark(server->addPerson(1), "1111");
        platform::setModalHandler([this](QDialog& d) { return answer(d); });
        platform::setTerminationHandlers([this] { ++terminations; },
                                         [](int code) { throw ProcessExit{code}; });
        form = startProgram();
        data = std::make_unique<session::TDataDB>();
        data->DefaultDB->SetPort(server->port());
        form->SetDataModule(data.get());
    }
    void TearDown() override {
        form.reset();
        data.reset();
        AppTest::TearDown();
    }

    int answer(QDialog& d) {
        if (auto* pass = qobject_cast<session::TPasswordDlg*>(&d)) {
            ++signIns;
            // A shown dialog runs the event loop: whatever the session posted arrives meanwhile.
            QCoreApplication::processEvents();
            if (passCode.isEmpty())
                return QDialog::Rejected;
            pass->Password->setText(passCode);
            return QDialog::Accepted;
        }
        if (auto* dialog = qobject_cast<TDlgSetServerNameDialog*>(&d)) {
            offered = dialog->ServerName->text();
            if (!serverName)
                return QDialog::Rejected;
            dialog->ServerName->setText(*serverName);
            return QDialog::Accepted;
        }
        return QDialog::Rejected;
    }

    // Whether the File menu offers "Переподключится" when opened.
    bool reconnectOffered() {
        emit form->FileMenu->aboutToShow();
        return form->KTS->isEnabled();
    }
    int logins() { return server->server().count("login mode=0"); }
    QByteArray settings() { return testenv::Sandbox::readFile(sandbox.appDir() + "zarin.ini"); }

    std::unique_ptr<testenv::SignInServer> server;  // outlives the database
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<session::TDataDB> data;
    QString passCode = "1111";
    std::optional<QString> serverName;
    QString offered;
    int signIns = 0;
    int terminations = 0;
};

TEST_F(ServerTest, ShowingTheWindowSignsInAndSetsTheRights) {
    passCode = "4444";
    form->FormShow();
    EXPECT_EQ(signIns, 1);
    EXPECT_TRUE(data->DefaultDB->Connected());
    EXPECT_FALSE(form->ReportForm->NewReport->isEnabled());
    EXPECT_FALSE(form->ReportForm->NewFolder->isEnabled());
    EXPECT_FALSE(reconnectOffered());

    // A lost connection offers the reconnection, which signs in again with the new rights.
    data->DefaultDB->Client()->SetActive(false);
    EXPECT_TRUE(reconnectOffered());
    passCode = "1111";
    form->KTS->trigger();
    EXPECT_EQ(signIns, 2);
    EXPECT_TRUE(form->ReportForm->NewFolder->isEnabled());
    EXPECT_FALSE(reconnectOffered());
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(ServerTest, ServerDialogOutcomes) {
    struct Case {
        const char* name;
        bool connected;                // before the item is used
        std::optional<QString> typed;  // nullopt: Cancel
        int signIns;                   // pass-code dialogs shown
        const char* offered;           // in the box when the dialog opens
        const char* host;              // afterwards
        const char* stored;            // SrvAddr afterwards
    };
    const Case cases[] = {
        {"cancel", true, std::nullopt, 0, "127.0.0.1", "127.0.0.1", "127.0.0.1"},
        {"unchanged while connected", true, "127.0.0.1", 0, "127.0.0.1", "127.0.0.1", "127.0.0.1"},
        {"unchanged while disconnected", false, "127.0.0.1", 1, "127.0.0.1", "127.0.0.1",
         "127.0.0.1"},
        {"another host", true, "localhost", 1, "127.0.0.1", "localhost", "localhost"},
        {"empty box", true, "", 1, "localhost", "127.0.0.1", "127.0.0.1"},
    };
    form->FormShow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.connected)
            data->DefaultDB->Client()->SetActive(false);
        signIns = 0;
        serverName = c.typed;
        const int before = logins();
        form->ItemServer->trigger();
        EXPECT_EQ(offered, c.offered);
        EXPECT_EQ(signIns, c.signIns);
        EXPECT_EQ(logins(), before + c.signIns);  // a new connection's request link
        EXPECT_EQ(data->DefaultDB->Host(), c.host);
        EXPECT_TRUE(settings().contains(QByteArray("SrvAddr=") + c.stored)) << settings().data();
        EXPECT_TRUE(data->DefaultDB->Connected());
    }
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(ServerTest, HostComparisonIsExact) {
    testenv::Sandbox::writeFile(sandbox.appDir() + "zarin.ini",
                                "[SrvVellumar]\r\nSrvAddr=localhost\r\n");
    form->FormShow();
    signIns = 0;
    serverName = "LocalHost";
    form->ItemServer->trigger();
    EXPECT_EQ(offered, "localhost");
    EXPECT_EQ(signIns, 1);
    EXPECT_EQ(data->DefaultDB->Host(), "LocalHost");
    EXPECT_TRUE(settings().contains("SrvAddr=LocalHost"));
}

TEST_F(ServerTest, WithoutSettingsFileTheNewHostStaysInMemoryDisconnected) {
    form->FormShow();
    QFile::remove(sandbox.appDir() + "zarin.ini");
    signIns = 0;
    serverName = "localhost";
    form->ItemServer->trigger();
    EXPECT_EQ(signIns, 0);
    EXPECT_EQ(data->DefaultDB->Host(), "localhost");
    EXPECT_FALSE(data->DefaultDB->Connected());
    EXPECT_FALSE(QFile::exists(sandbox.appDir() + "zarin.ini"));
    EXPECT_TRUE(messages.isEmpty());

    // The reconnection then misses the file and ends the program.
    ASSERT_TRUE(reconnectOffered());
    form->KTS->trigger();
    EXPECT_EQ(messages, QStringList{"Файл \\zarin.ini не найден !"});
    EXPECT_EQ(terminations, 1);
}

TEST(ComputerBrowser, HostNamesOfTheHostsFile) {
    const QByteArray hosts =
        "127.0.0.1\tlocalhost\n"
        "# 10.0.0.9 commented\n"
        "10.0.0.5   kts-main kts-main.corp  # the data server\n"
        "::1 localhost ip6-localhost\n"
        "bare-address-only\n"
        "\n"
        "10.0.0.6 KTS-Main\n";
    EXPECT_EQ(HostNamesOfHostsFile(hosts),
              (QStringList{"localhost", "kts-main", "kts-main.corp", "ip6-localhost", "KTS-Main"}));
}

TEST_F(AppTest, ComputerBrowserFillsTheServerBox) {
    QTemporaryFile hosts;
    ASSERT_TRUE(hosts.open());
    hosts.write("10.0.0.5 kts-main\n10.0.0.6 backup\n");
    hosts.close();
    TDlgSetServerNameDialog dialog(nullptr);
    EXPECT_EQ(dialog.size(), QSize(312, 139));
    dialog.HostsFile = hosts.fileName();
    dialog.UsedServers = {"127.0.0.1", "backup"};

    QStringList listed;
    std::optional<QString> pick;
    platform::setModalHandler([&](QDialog& d) {
        auto* browser = qobject_cast<TComputerNameDialog*>(&d);
        if (!browser)
            return int(QDialog::Rejected);
        EXPECT_EQ(browser->windowTitle(), "Выберите сервер БД \"Зарин Про\"");
        listed.clear();
        for (int i = 0; i < browser->Computers->count(); ++i)
            listed << browser->Computers->item(i)->text();
        if (!pick)
            return int(QDialog::Rejected);
        browser->Computers->setCurrentRow(int(listed.indexOf(*pick)));
        return int(QDialog::Accepted);
    });
    dialog.ServerName->setText("typed");
    dialog.SelectComputerButtonClick();  // cancelled: the typed text stays
    EXPECT_EQ(dialog.ServerName->text(), "typed");
    EXPECT_EQ(listed, (QStringList{"127.0.0.1", "backup", "kts-main"}));
    pick = "kts-main";
    dialog.SelectComputerButtonClick();
    EXPECT_EQ(dialog.ServerName->text(), "kts-main");
}

}  // namespace
