// Making old templates parseable: declared or guessed Windows-1251 text becomes UTF-8 and a bare
// '&' becomes "&amp;", without moving anything to another line.
#include "reportengine/io/TemplateFile.h"

#include "platform/Cp1251.h"

#include <QRegularExpression>

namespace reportengine {

namespace {

QByteArray DeclaredEncoding(const QByteArray& bytes) {
    if (!bytes.startsWith("<?xml"))
        return QByteArray();
    int end = bytes.indexOf("?>");
    if (end < 0)
        return QByteArray();
    static const QRegularExpression re(QStringLiteral("encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    auto m = re.match(QString::fromLatin1(bytes.left(end)));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

// Each run of non-ASCII bytes is kept when it is UTF-8, else read as Windows-1251: old writers
// put attributes in the code page and memo text in UTF-8 in one file.
QByteArray MixedToUtf8(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 4);
    int i = 0;
    const int n = int(bytes.size());
    while (i < n) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            out += bytes[i++];
            continue;
        }
        int j = i;
        while (j < n && static_cast<unsigned char>(bytes[j]) >= 0x80)
            ++j;
        QByteArray run = bytes.mid(i, j - i);
        out += platform::isValidUtf8(run) ? run : platform::fromCp1251(run).toUtf8();
        i = j;
    }
    return out;
}

bool IsEntityAt(const QByteArray& b, int i) {
    int n = int(b.size());
    int j = i + 1;
    if (j < n && b[j] == '#') {
        ++j;
        bool hex = j < n && (b[j] == 'x' || b[j] == 'X');
        if (hex)
            ++j;
        int start = j;
        while (j < n && (hex ? std::isxdigit(static_cast<unsigned char>(b[j]))
                             : std::isdigit(static_cast<unsigned char>(b[j]))))
            ++j;
        return j > start && j < n && b[j] == ';';
    }
    for (const char* name : {"amp;", "lt;", "gt;", "quot;", "apos;"})
        if (b.mid(j, int(qstrlen(name))) == name)
            return true;
    return false;
}

QByteArray EscapeBareAmpersands(const QByteArray& bytes) {
    if (!bytes.contains('&'))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + 16);
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '&' && !IsEntityAt(bytes, i))
            out += "&amp;";
        else
            out += bytes[i];
    }
    return out;
}

}  // namespace

QByteArray NormalizeTemplateBytes(const QByteArray& input) {
    QByteArray bytes = input;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QByteArray encoding = DeclaredEncoding(bytes);
    if (encoding == "windows-1251" || encoding == "cp1251") {
        bytes = platform::fromCp1251(bytes).toUtf8();
        // The parser must not decode the converted text a second time.
        int end = bytes.indexOf("?>");
        QByteArray decl = bytes.left(end);
        int at = decl.indexOf(encoding == "cp1251" ? "cp1251" : "windows-1251");
        if (at < 0)
            at = decl.toLower().indexOf(encoding);
        if (at >= 0)
            bytes.replace(at, encoding.size(), "utf-8");
    } else if (!platform::isValidUtf8(bytes))
        bytes = MixedToUtf8(bytes);
    return EscapeBareAmpersands(bytes);
}

}  // namespace reportengine
