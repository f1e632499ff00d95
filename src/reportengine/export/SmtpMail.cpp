#include "reportengine/export/SmtpMail.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace reportengine {

namespace {

QString oneLine(QString text) {
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.trimmed();
}

bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// RFC 2047 encoded words of at most 75 characters, folded onto continuation lines; a character
// is never split between two words.
QByteArray encodedWords(const QString& text) {
    if (isAscii(text))
        return text.toLatin1();
    QByteArray out;
    QString chunk;
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + chunk.toUtf8().toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString next = text.mid(i, text[i].isHighSurrogate() ? 2 : 1);
        if ((chunk + next).toUtf8().size() > 45)
            flush();
        chunk += next;
        i += next.size() - 1;
    }
    flush();
    return out;
}

QByteArray base64Lines(const QByteArray& data) {
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + "\r\n";
    return out;
}

QByteArray quotedName(const QString& name) {
    QString safe = oneLine(name);
    safe.remove(u'"').remove(u'\\');
    return isAscii(safe) ? "\"" + safe.toLatin1() + "\"" : encodedWords(safe);
}

// Content-Type name and Content-Disposition filename parameters for a file name.
QByteArray fileNameParameters(const QString& fileName, QByteArray* disposition) {
    QString safe = oneLine(fileName);
    safe.remove(u'"').remove(u'\\');
    if (isAscii(safe)) {
        *disposition = "attachment; filename=\"" + safe.toLatin1() + "\"";
        return "name=\"" + safe.toLatin1() + "\"";
    }
    // RFC 2231 for the readers that follow it, an encoded word for those that do not.
    *disposition = "attachment; filename*=UTF-8''" + QUrl::toPercentEncoding(safe);
    return "name=\"" + encodedWords(safe) + "\"";
}

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Upload {
    const QByteArray* Data;
    qsizetype Offset = 0;
};

size_t readChunk(char* buffer, size_t size, size_t count, void* user) {
    auto* up = static_cast<Upload*>(user);
    const qsizetype room = qsizetype(size * count);
    const qsizetype n = std::min(room, up->Data->size() - up->Offset);
    std::memcpy(buffer, up->Data->constData() + up->Offset, std::size_t(n));
    up->Offset += n;
    return std::size_t(n);
}

}  // namespace

bool IsPlainAddress(const QString& address) {
    static const QRegularExpression re(QStringLiteral(
        R"(^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?$)"));
    return re.match(address).hasMatch();
}

bool SplitAddresses(const QString& text, QStringList* out, QString* bad) {
    out->clear();
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    for (const QString& part : text.split(separators, Qt::SkipEmptyParts)) {
        const QString address = part.trimmed();
        if (address.isEmpty())
            continue;
        if (!IsPlainAddress(address)) {
            *bad = address;
            return false;
        }
        out->append(address);
    }
    return true;
}

QString MimeTypeForFile(const QString& fileName) {
    static const std::pair<const char*, const char*> types[] = {
        {"pdf", "application/pdf"},
        {"rtf", "application/rtf"},
        {"txt", "text/plain"},
        {"prn", "application/octet-stream"},
        {"htm", "text/html"},
        {"html", "text/html"},
        {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"xls", "application/vnd.ms-excel"},
        {"xml", "application/xml"},
        {"ods", "application/vnd.oasis.opendocument.spreadsheet"},
        {"odt", "application/vnd.oasis.opendocument.text"},
        {"csv", "text/csv"},
        {"bmp", "image/bmp"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"tif", "image/tiff"},
        {"tiff", "image/tiff"},
        {"gif", "image/gif"},
    };
    const QString ext = QFileInfo(fileName).suffix().toLower();
    for (const auto& [e, type] : types)
        if (ext == QLatin1String(e))
            return QString::fromLatin1(type);
    return QStringLiteral("application/octet-stream");
}

QByteArray BuildMimeMessage(const MailMessage& m, const QDateTime& date,
                            const QByteArray& boundary) {
    QByteArray out;
    const QString fromName = oneLine(m.FromName);
    out += "From: " + (fromName.isEmpty() ? QByteArray() : quotedName(fromName) + " ") + "<" +
           m.FromAddress.toLatin1() + ">\r\n";
    out += "To: " + m.To.join(QStringLiteral(", ")).toLatin1() + "\r\n";
    out += "Subject: " + encodedWords(oneLine(m.Subject)) + "\r\n";
    if (!oneLine(m.FromCompany).isEmpty())
        out += "Organization: " + encodedWords(oneLine(m.FromCompany)) + "\r\n";
    out += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    out += "Message-ID: <" + boundary.mid(boundary.lastIndexOf('_') + 1) + "." +
           QByteArray::number(date.toSecsSinceEpoch()) + "@" +
           m.FromAddress.mid(m.FromAddress.indexOf(u'@') + 1).toLatin1() + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    out += "This is a multi-part message in MIME format.\r\n";

    QString text = m.Text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    text.replace(u'\n', QStringLiteral("\r\n"));
    out += "--" + boundary + "\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    out += "Content-Transfer-Encoding: base64\r\n\r\n";
    out += base64Lines(text.toUtf8());

    for (const MailAttachment& a : m.Attachments) {
        QByteArray disposition;
        const QByteArray name = fileNameParameters(a.FileName, &disposition);
        out += "--" + boundary + "\r\n";
        out += "Content-Type: " + MimeTypeForFile(a.FileName).toLatin1() + "; " + name + "\r\n";
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Disposition: " + disposition + "\r\n\r\n";
        out += base64Lines(a.Data);
    }
    out += "--" + boundary + "--\r\n";
    return out;
}

bool SendMail(const SmtpServer& server, const MailMessage& message, QString* error) {
    if (!IsPlainAddress(message.FromAddress)) {
        *error = QStringLiteral("Invalid sender address: \"%1\"").arg(oneLine(message.FromAddress));
        return false;
    }
    if (message.To.isEmpty()) {
        *error = QStringLiteral("No recipient address given");
        return false;
    }
    for (const QString& to : message.To)
        if (!IsPlainAddress(to)) {
            *error = QStringLiteral("Invalid recipient address: \"%1\"").arg(oneLine(to));
            return false;
        }
    static const QRegularExpression hostName(QStringLiteral(R"(^[A-Za-z0-9.:\[\]-]+$)"));
    if (!hostName.match(server.Host.trimmed()).hasMatch()) {
        *error = QStringLiteral("No SMTP server given");
        return false;
    }
    initCurl();
    const QByteArray boundary =
        "=_vellumar_" + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    const QByteArray data = BuildMimeMessage(message, QDateTime::currentDateTime(), boundary);

    CURL* curl = curl_easy_init();
    if (!curl) {
        *error = QStringLiteral("Cannot start the mail transfer");
        return false;
    }
    QString host = server.Host.trimmed();
    if (host.contains(u':') && !host.startsWith(u'['))
        host = u'[' + host + u']';  // an IPv6 address
    const QByteArray url = "smtp://" + host.toUtf8() + ":" + QByteArray::number(server.Port);
    const QByteArray from = "<" + message.FromAddress.toLatin1() + ">";
    curl_slist* rcpt = nullptr;
    for (const QString& to : message.To)
        rcpt = curl_slist_append(rcpt, ("<" + to.toLatin1() + ">").constData());
    const QByteArray login = server.Login.toUtf8(), password = server.Password.toUtf8();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Upload upload{&data};
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &readChunk);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    // A password never goes over a link without TLS; without one, TLS is used when offered.
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     long(login.isEmpty() ? CURLUSESSL_TRY : CURLUSESSL_ALL));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(server.TimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(server.TimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    if (!login.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, login.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    const CURLcode rc = curl_easy_perform(curl);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);
    if (rc == CURLE_OK)
        return true;
    *error = QStringLiteral("%1:%2: %3")
                 .arg(server.Host.trimmed())
                 .arg(server.Port)
                 .arg(QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(rc)));
    return false;
}

}  // namespace reportengine
