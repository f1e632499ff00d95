// One e-mail with file attachments: the MIME message (multipart/mixed, the text and every file
// base64-encoded, non-ASCII header texts and file names as UTF-8 encoded words) and its delivery
// over SMTP through libcurl: STARTTLS when the server offers it; with a login, TLS is required
// (a server without it is refused rather than sent the password in the clear).
//
// Header values never carry line breaks into the message: CR and LF in a subject, name or
// company become spaces, and an address that is not a plain "local@domain" is refused, so no
// field can add headers or recipients of its own.
//
// Thread contract: pure functions; SendMail blocks the calling thread until the server has
// answered or the timeout has passed. libcurl's global set-up runs once, on first use.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace reportengine {

struct MailAttachment {
    QString FileName;  // without a folder
    QByteArray Data;
};

struct MailMessage {
    QString FromAddress, FromName, FromCompany;
    QStringList To;  // plain addresses
    QString Subject;
    QString Text;  // lines separated by LF or CR LF
    std::vector<MailAttachment> Attachments;
};

struct SmtpServer {
    QString Host;
    int Port = 25;
    QString Login, Password;  // no login when empty
    int TimeoutSeconds = 60;
};

// Splits "a@b.ru; c@d.ru, e@f.ru" into addresses; false (with the bad part in *bad) when one is
// not a plain address.
bool SplitAddresses(const QString& text, QStringList* out, QString* bad);
bool IsPlainAddress(const QString& address);

// The MIME type the attachment is sent as, by its extension.
QString MimeTypeForFile(const QString& fileName);

// The message as sent (CR LF line ends); boundary and date are parameters so tests can fix them.
QByteArray BuildMimeMessage(const MailMessage& message, const QDateTime& date,
                            const QByteArray& boundary);

// Sends the message; false with *error set (the server's or libcurl's reason).
bool SendMail(const SmtpServer& server, const MailMessage& message, QString* error);

}  // namespace reportengine
