// Tests of the control-shell locator: against the real stand-in shell (tools/control-shell), run
// as a child process listening in the test's own runtime folder, and against scripted peers that
// answer wrongly, flood, or say nothing, which must cost no more than the time-out.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/ControlShell.h"
#include "TestEnv.h"

using platform::ControlShellLocator;

namespace {

const QString kClass = QStringLiteral("TfrmZarinShell");
const QString kTitle = QStringLiteral("Зарин Про. Управляющая оболочка");
constexpr int kShortTimeoutMs = 300;
// Only ever waited out when something is broken; never part of an assertion.
constexpr int kGenerousMs = 15000;

QString shellBinary() {
    return QStringLiteral(VELLUMAR_BINARY_DIR "/tools/control-shell/control-shell");
}

class ControlShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(shellBinary()))
            GTEST_SKIP() << "control-shell is not built: " << shellBinary().toStdString();
    }

    // Starts the stand-in shell and returns once it says it is listening.
    void startShell(const QStringList& arguments) {
        FShell = std::make_unique<QProcess>();
        FShell->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        FShell->start(shellBinary(), arguments);
        ASSERT_TRUE(FShell->waitForStarted(kGenerousMs));
        while (!FShell->canReadLine())
            ASSERT_TRUE(FShell->waitForReadyRead(kGenerousMs)) << "the shell never said it listens";
        EXPECT_EQ(FShell->readLine().trimmed(),
                  "listening " + ControlShellLocator::socketPath(kClass).toUtf8());
    }

    void TearDown() override {
        if (FShell) {
            FShell->kill();
            FShell->waitForFinished(kGenerousMs);
        }
    }

    testenv::Sandbox FSandbox;  // first: the shell inherits its runtime folder
    std::unique_ptr<QProcess> FShell;
};

}  // namespace

TEST_F(ControlShellTest, ShellIsFoundByItsClassAndExactTitle) {
    ASSERT_NO_FATAL_FAILURE(startShell({}));
    EXPECT_TRUE(ControlShellLocator::findWindow(kClass, kTitle));
    EXPECT_FALSE(ControlShellLocator::findWindow(kClass, QStringLiteral("Зарин Про")));
    EXPECT_FALSE(ControlShellLocator::findWindow(kClass, kTitle + " "));
    EXPECT_FALSE(ControlShellLocator::findWindow(QStringLiteral("TfrmOtherShell"), kTitle));
}

TEST_F(ControlShellTest, ShellWithAnotherTitleIsNotFound) {
    ASSERT_NO_FATAL_FAILURE(
        startShell({QStringLiteral("--title"), QStringLiteral("Зарин Про. Другая оболочка")}));
    EXPECT_FALSE(ControlShellLocator::findWindow(kClass, kTitle));
}

TEST_F(ControlShellTest, NothingIsFoundWithoutAShell) {
    EXPECT_FALSE(ControlShellLocator::findWindow(kClass, kTitle));
    EXPECT_FALSE(ControlShellLocator::postMessage(kClass, 1623, 1, 27518));
}

TEST_F(ControlShellTest, SilentShellTimesOut) {
    ASSERT_NO_FATAL_FAILURE(startShell({QStringLiteral("--silent")}));
    EXPECT_FALSE(ControlShellLocator::findWindow(kClass, kTitle, kShortTimeoutMs));
    EXPECT_FALSE(ControlShellLocator::postMessage(kClass, 1623, 1, 27518, kShortTimeoutMs));
    EXPECT_EQ(FShell->state(), QProcess::Running);
}

// wParam carries a window id, which does not fit 32 bits on every system.
TEST_F(ControlShellTest, PostedMessagesReachTheShellsLog) {
    const QString log = FSandbox.path() + "/shell.log";
    ASSERT_NO_FATAL_FAILURE(startShell({QStringLiteral("--log"), log}));
    ASSERT_TRUE(ControlShellLocator::postMessage(kClass, 1623, 5000000001ULL, 27518));
    ASSERT_TRUE(ControlShellLocator::postMessage(kClass, 1623, 42, 27518));
    EXPECT_EQ(testenv::Sandbox::readFile(log),
              "message 1623 wParam=5000000001 lParam=27518\n"
              "message 1623 wParam=42 lParam=27518\n");
}

namespace {

// A peer that speaks whatever a test scripts: accepts one connection, reads the request line,
// sends the reply, then either closes or stays connected, silent, until the client leaves.
class ScriptedPeer {
public:
    ScriptedPeer(const QString& path, QByteArray reply, bool closeAfterReply)
        : FReply(std::move(reply)), FClose(closeAfterReply) {
        const QByteArray name = path.toUtf8();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(),
                    std::min<size_t>(name.size(), sizeof address.sun_path - 1));
        ::unlink(name.constData());
        FListener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(FListener, 4) != 0)
            ADD_FAILURE() << "cannot listen on " << name.constData();
        FThread = std::thread([this] { run(); });
    }
    ~ScriptedPeer() {
        FThread.join();
        ::close(FListener);
    }
    QByteArray request() const { return FRequest; }

private:
    static bool waitReadable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, kGenerousMs) == 1;
    }
    void run() {
        if (!waitReadable(FListener))
            return;  // the client never came
        const int fd = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
        char buffer[256];
        while (!FRequest.endsWith('\n') && waitReadable(fd)) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            FRequest.append(buffer, n);
        }
        for (qsizetype sent = 0; sent < FReply.size();) {
            const ssize_t n =
                ::send(fd, FReply.constData() + sent, FReply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;  // the client gave up on us, as it should on a flood
            sent += n;
        }
        if (!FClose) {
            while (waitReadable(fd) && ::read(fd, buffer, sizeof buffer) > 0) {
            }
        }
        ::close(fd);
    }

    QByteArray FReply;
    bool FClose;
    int FListener = -1;
    QByteArray FRequest;
    std::thread FThread;
};

struct PeerCase {
    const char* what;
    QByteArray reply;
    bool closeAfterReply;
    bool expected;
};

}  // namespace

TEST(ControlShellLocator, HelloAnswersFromScriptedPeers) {
    testenv::Sandbox sandbox;
    const QByteArray title = kTitle.toUtf8();
    const PeerCase cases[] = {
        {"exact title, stays connected", title + "\n", false, true},
        {"exact title, then closes", title + "\n", true, true},
        {"title without the line end, then closes", title, true, false},
        {"shorter title", "Зарин Про\n", false, false},
        {"longer title", title + " 2\n", false, false},
        {"closes without a word", "", true, false},
        {"stays silent", "", false, false},
        {"binary garbage", QByteArray("\0\xff\xfe\x01\n", 5), false, false},
        // Far past any title, no line end: the client must stop reading, not buffer it all.
        {"endless line", QByteArray(4 << 20, 'x'), false, false},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer peer(ControlShellLocator::socketPath(kClass), c.reply, c.closeAfterReply);
        EXPECT_EQ(ControlShellLocator::findWindow(kClass, kTitle, kShortTimeoutMs), c.expected);
        ASSERT_EQ(peer.request(), "HELLO\n");
    }
}

TEST(ControlShellLocator, PostAnswersFromScriptedPeers) {
    testenv::Sandbox sandbox;
    const PeerCase cases[] = {
        {"acknowledged", "OK\n", false, true},
        {"refused", "ERR\n", false, false},
        {"acknowledgement cut short", "OK", true, false},
        {"something else", "OKAY\n", false, false},
        {"stays silent", "", false, false},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer peer(ControlShellLocator::socketPath(kClass), c.reply, c.closeAfterReply);
        EXPECT_EQ(
            ControlShellLocator::postMessage(kClass, 1623, 5000000001ULL, -2, kShortTimeoutMs),
            c.expected);
        ASSERT_EQ(peer.request(), "POST 1623 5000000001 -2\n");
    }
}

// The locator is used off the UI thread too; a thread that Qt did not start must work as well.
TEST_F(ControlShellTest, WorksFromAPlainThread) {
    ASSERT_NO_FATAL_FAILURE(startShell({}));
    bool found = false;
    std::thread([&] { found = ControlShellLocator::findWindow(kClass, kTitle); }).join();
    EXPECT_TRUE(found);
}
