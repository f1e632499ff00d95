// The e-mail export against a small SMTP sink on 127.0.0.1: the attachment arrives base64
// encoded with its subject, header fields cannot inject headers, delivery failures are reported,
// settings are kept in the settings key (without the password), and a cancel sends nothing.
#include "reportengine/export/MailExport.h"
#include "reportengine/export/SmtpMail.h"

#include "ExportSamples.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <future>
#include <thread>

using namespace reportengine;

namespace {

// Speaks just enough SMTP for one message on its own thread (the export blocks the test's):
// 220, EHLO/HELO, MAIL, RCPT, DATA, QUIT. What it received is read after join().
class SmtpSink {
public:
    SmtpSink() {
        std::promise<quint16> port;
        auto ready = port.get_future();
        FThread = std::thread([this, p = std::move(port)]() mutable { run(p); });
        FPort = ready.get();
    }
    ~SmtpSink() { join(); }
    quint16 Port() const { return FPort; }
    void join() {
        if (FThread.joinable())
            FThread.join();
    }
    QStringList Commands;  // as received, without line ends
    QByteArray Data;       // the message between DATA and the final dot

private:
    void run(std::promise<quint16>& port) {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port.set_value(server.serverPort());
        // Generous waits so a slow machine cannot hang the test forever; not an assertion.
        if (!server.waitForNewConnection(60000))
            return;
        std::unique_ptr<QTcpSocket> s(server.nextPendingConnection());
        auto say = [&](const QByteArray& line) {
            s->write(line + "\r\n");
            s->waitForBytesWritten(60000);
        };
        auto readLine = [&]() -> QByteArray {
            while (!s->canReadLine())
                if (!s->waitForReadyRead(60000))
                    return {};
            return s->readLine();
        };
        say("220 sink ESMTP");
        for (;;) {
            const QByteArray line = readLine().trimmed();
            if (line.isEmpty())
                return;
            Commands << QString::fromLatin1(line);
            const QByteArray verb = line.left(4).toUpper();
            if (verb == "EHLO" || verb == "HELO")
                say("250 sink");
            else if (verb == "MAIL" || verb == "RCPT")
                say("250 OK");
            else if (verb == "DATA") {
                say("354 go ahead");
                for (QByteArray l; (l = readLine()) != ".\r\n" && !l.isEmpty();)
                    Data += l;
                say("250 queued");
            } else if (verb == "QUIT") {
                say("221 bye");
                return;
            } else
                say("502 not here");
        }
    }

    std::thread FThread;
    quint16 FPort = 0;
};

// The decoded body of the MIME part whose headers contain `header`.
QByteArray partBody(const QByteArray& message, const QByteArray& header) {
    const qsizetype at = message.indexOf(header);
    if (at < 0)
        return {};
    const qsizetype start = message.indexOf("\r\n\r\n", at) + 4;
    const qsizetype end = message.indexOf("\r\n--", start);
    return QByteArray::fromBase64(message.mid(start, end - start).replace("\r\n", ""));
}

struct MailFixture : ::testing::Test {
    TfrxPreparedPages pages;
    void SetUp() override {
        for (const PreparedPage& page : exportsamples::eventReport())
            pages.AddPage(page);
    }
    void configure(TfrxMailExport& mail, quint16 port) {
        mail.setProperty("SmtpHost", "127.0.0.1");
        mail.setProperty("SmtpPort", port);
        mail.setProperty("Address", "operator@example.org; chief@example.org");
        mail.setProperty("FromMail", "vellumar@example.org");
        mail.setProperty("FromName", "Пост охраны");
        mail.setProperty("Subject", "Журнал событий за июнь");
        mail.setProperty("Lines", QStringList{"Добрый день.", "Отчёт во вложении."});
        mail.setProperty("ExportFilter", "TfrxSimpleTextExport");
        mail.setProperty("Timeout", 30);
    }
};

}  // namespace

TEST_F(MailFixture, AttachmentArrivesWithItsSubject) {
    SmtpSink sink;
    TfrxMailExport mail;
    EXPECT_EQ(mail.property("SmtpPort").toInt(), 25);
    EXPECT_TRUE(mail.property("ShowExportDialog").toBool());
    EXPECT_TRUE(mail.property("UseIniFile").toBool());
    configure(mail, sink.Port());
    mail.SetFileName("Журнал");
    ASSERT_TRUE(mail.Export(pages)) << mail.ErrorText().toStdString();
    sink.join();

    EXPECT_TRUE(sink.Commands.contains("MAIL FROM:<vellumar@example.org>"))
        << sink.Commands.join('|').toStdString();
    EXPECT_TRUE(sink.Commands.contains("RCPT TO:<operator@example.org>"));
    EXPECT_TRUE(sink.Commands.contains("RCPT TO:<chief@example.org>"));
    const QByteArray& data = sink.Data;
    const auto subject =
        QRegularExpression(QStringLiteral("Subject: ((?:=\\?UTF-8\\?B\\?[^?]*\\?=\\s*)+)"))
            .match(QString::fromLatin1(data));
    ASSERT_TRUE(subject.hasMatch()) << data.toStdString();
    QByteArray decoded;
    for (const auto& word :
         subject.captured(1).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
        decoded += QByteArray::fromBase64(word.mid(10, word.size() - 12).toLatin1());
    EXPECT_EQ(QString::fromUtf8(decoded), QStringLiteral("Журнал событий за июнь"));
    EXPECT_TRUE(data.contains("Content-Type: multipart/mixed; boundary="));
    EXPECT_EQ(QString::fromUtf8(partBody(data, "Content-Type: text/plain; charset=UTF-8")),
              QStringLiteral("Добрый день.\r\nОтчёт во вложении."));
    // The attachment: the text export of both pages, named after the report.
    EXPECT_TRUE(data.contains("filename*=UTF-8''%D0%96%D1%83%D1%80%D0%BD%D0%B0%D0%BB.txt"));
    const QString attached = QString::fromUtf8(partBody(data, "Content-Disposition: attachment"));
    EXPECT_TRUE(attached.contains(QStringLiteral("Петров Андрей"))) << attached.toStdString();
    EXPECT_TRUE(attached.contains(QStringLiteral("Итого:")));
}

TEST(MailMessage, HeaderFieldsCannotAddHeadersOrRecipients) {
    MailMessage m;
    m.FromAddress = "a@example.org";
    m.To = {"b@example.org"};
    m.Subject = "Report\r\nBcc: spy@example.org";
    m.FromName = "Name\nX-Evil: 1";
    m.Attachments.push_back({"a\"b\r\n.pdf", "%PDF"});
    const QByteArray msg = BuildMimeMessage(m, QDateTime(QDate(2026, 6, 1), QTime(9, 0)), "=_b");
    EXPECT_FALSE(msg.contains("\r\nBcc:")) << msg.toStdString();
    EXPECT_FALSE(msg.contains("\r\nX-Evil:"));
    EXPECT_TRUE(msg.contains("Subject: Report  Bcc: spy@example.org\r\n"));
    EXPECT_TRUE(msg.contains("filename=\"ab  .pdf\""));
    EXPECT_TRUE(msg.endsWith("--=_b--\r\n"));

    QStringList to;
    QString bad;
    for (const char* text : {"x@y.ru\r\nRCPT TO:<z@w.ru>", "Иван <x@y.ru>", "x@", "x y@z.ru"})
        EXPECT_FALSE(SplitAddresses(QString::fromUtf8(text), &to, &bad)) << text;
    ASSERT_TRUE(SplitAddresses(" a@b.ru; c.d+e@f-g.com ,", &to, &bad));
    EXPECT_EQ(to, QStringList({"a@b.ru", "c.d+e@f-g.com"}));
}

TEST_F(MailFixture, DeliveryFailuresAreReportedAndCancelSendsNothing) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    TfrxMailExport refused;
    configure(refused, closedPort);
    EXPECT_FALSE(refused.Export(pages));
    EXPECT_TRUE(refused.ErrorText().contains(QString::number(closedPort)))
        << refused.ErrorText().toStdString();

    TfrxMailExport badAddress;
    configure(badAddress, closedPort);
    badAddress.setProperty("Address", "nobody");
    EXPECT_FALSE(badAddress.Export(pages));
    EXPECT_TRUE(badAddress.ErrorText().contains("nobody"));

    // A login is never sent to a server without TLS.
    {
        SmtpSink plain;
        TfrxMailExport withLogin;
        configure(withLogin, plain.Port());
        withLogin.setProperty("Login", "operator");
        withLogin.setProperty("Password", "secret");
        EXPECT_FALSE(withLogin.Export(pages));
        plain.join();
        EXPECT_TRUE(plain.Data.isEmpty());
        for (const QString& command : plain.Commands)
            EXPECT_FALSE(command.startsWith("AUTH") || command.contains("secret"))
                << command.toStdString();
    }

    // A cancel during the export: the sink must see no connection at all; it is then released
    // by a plain connection that says QUIT.
    SmtpSink sink;
    TfrxMailExport cancelled;
    configure(cancelled, sink.Port());
    QObject::connect(&cancelled, &TfrxCustomExportFilter::progress,
                     [&](int, int) { cancelled.Terminate(); });
    EXPECT_FALSE(cancelled.Export(pages));
    QTcpSocket release;
    release.connectToHost(QHostAddress::LocalHost, sink.Port());
    ASSERT_TRUE(release.waitForConnected(60000));
    release.write("QUIT\r\n");
    release.waitForBytesWritten(60000);
    sink.join();
    EXPECT_EQ(sink.Commands, QStringList{"QUIT"});
}

TEST_F(MailFixture, SettingsAreKeptWithoutThePassword) {
    const QString key = QStringLiteral("\\Software\\Tamur\\ZarinPro\\Vellumar\\Fast Reports");
    SmtpSink sink;
    {
        TfrxMailExport mail;
        mail.setProperty("SettingsKey", key);
        configure(mail, sink.Port());
        mail.setProperty("Login", "");
        mail.setProperty("Password", "secret");
        ASSERT_TRUE(mail.Export(pages)) << mail.ErrorText().toStdString();
    }
    sink.join();
    TfrxMailExport again;
    again.setProperty("SettingsKey", key);
    EXPECT_EQ(again.property("SmtpPort").toInt(), sink.Port());
    EXPECT_EQ(again.property("Subject").toString(), QStringLiteral("Журнал событий за июнь"));
    EXPECT_EQ(again.property("Lines").toStringList(),
              QStringList({QStringLiteral("Добрый день."), QStringLiteral("Отчёт во вложении.")}));
    EXPECT_EQ(again.property("ExportFilter").toString(), "TfrxSimpleTextExport");
    EXPECT_TRUE(again.property("Password").toString().isEmpty());

    TfrxMailExport notKept;
    notKept.setProperty("UseIniFile", false);
    notKept.setProperty("SettingsKey", key);
    EXPECT_EQ(notKept.property("SmtpPort").toInt(), 25);
}
