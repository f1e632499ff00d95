// Reader and writer of the registry editor's text form. The parser works line by line over the
// decoded text and keeps no state but the current key, so every error names its line.
#include "platform/RegFile.h"

#include "platform/Cp1251.h"

namespace platform {
namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

template <typename Vec>
auto findByName(Vec& items, const QString& name) -> decltype(items.data()) {
    for (auto& item : items) {
        if (sameName(item.name, name))
            return &item;
    }
    return nullptr;
}

template <typename Vec>
bool removeByName(Vec& items, const QString& name) {
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (sameName(it->name, name)) {
            items.erase(it);
            return true;
        }
    }
    return false;
}

// ---- decoding -------------------------------------------------------------------------------

QString fromUtf16(const QByteArray& bytes, qsizetype start, bool littleEndian) {
    const qsizetype units = (bytes.size() - start) / 2;
    QString out(units, Qt::Uninitialized);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + start;
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < units; ++i, p += 2)
        dst[i] = littleEndian ? char16_t(p[0] | (p[1] << 8)) : char16_t((p[0] << 8) | p[1]);
    return out;
}

// The text of the file, or an error. UTF-16 is decoded unit by unit (an unpaired surrogate is
// kept as it is) so that a rewrite gives back the same units.
bool decodeText(const QByteArray& bytes, QString& text, QString& error) {
    const auto b = [&](int i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == 0xFE && b(1) == 0xFF))) {
        if (bytes.size() % 2 != 0) {
            error = QStringLiteral("the UTF-16 text has an odd number of bytes");
            return false;
        }
        text = fromUtf16(bytes, 2, b(0) == 0xFF);
        return true;
    }
    const bool bom = bytes.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF;
    const QByteArray body = bom ? bytes.mid(3) : bytes;
    if (!isValidUtf8(body)) {
        error = QStringLiteral("the file is neither UTF-16 with a byte-order mark nor UTF-8");
        return false;
    }
    text = QString::fromUtf8(body);
    return true;
}

// ---- parsing --------------------------------------------------------------------------------

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r';
}

QStringView trimmed(QStringView s) {
    qsizetype a = 0, e = s.size();
    while (a < e && isSpace(s[a]))
        ++a;
    while (e > a && isSpace(s[e - 1]))
        --e;
    return s.mid(a, e - a);
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// 1..8 hex digits, the whole of s.
bool parseHex32(QStringView s, std::uint32_t& out) {
    if (s.isEmpty() || s.size() > 8)
        return false;
    out = 0;
    for (QChar c : s) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        out = (out << 4) | std::uint32_t(d);
    }
    return true;
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool parseQuoted(QStringView s, qsizetype& pos, QString& out) {
    out.clear();
    for (++pos; pos < s.size(); ++pos) {
        const QChar c = s[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\' && pos + 1 < s.size() && (s[pos + 1] == u'\\' || s[pos + 1] == u'"')) {
            out += s[++pos];
            continue;
        }
        out += c;
    }
    return false;
}

bool parseHexList(QStringView s, QByteArray& out) {
    out.clear();
    qsizetype start = 0;
    while (start <= s.size()) {
        qsizetype comma = s.indexOf(u',', start);
        if (comma < 0)
            comma = s.size();
        const QStringView item = trimmed(s.mid(start, comma - start));
        if (!item.isEmpty()) {
            std::uint32_t v;
            if (item.size() > 2 || !parseHex32(item, v))
                return false;
            out.append(char(v));
        }
        start = comma + 1;
    }
    return true;
}

bool decodeHexString(const QByteArray& bytes, QString& out) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes[bytes.size() - 1] != 0 ||
        bytes[bytes.size() - 2] != 0)
        return false;
    out = fromUtf16(bytes.left(bytes.size() - 2), 0, true);
    return true;
}

struct Parser {
    QStringList lines;
    qsizetype index = 0;
    RegTree tree;
    RegKey* current = nullptr;
    bool skipping = false;  // inside a [-key] section: its values are ignored
    QString error;

    bool fail(qsizetype lineIndex, const QString& reason) {
        error = QStringLiteral("line %1: %2").arg(lineIndex + 1).arg(reason);
        return false;
    }

    bool splitPath(QStringView inner, QStringList& path, qsizetype lineNo) {
        path = inner.toString().split(u'\\');
        if (!path.isEmpty() && path.last().isEmpty())
            path.removeLast();  // a trailing '\' means nothing
        if (path.isEmpty())
            return fail(lineNo, QStringLiteral("empty key name"));
        if (path.size() > kMaxRegKeyDepth)
            return fail(lineNo, QStringLiteral("key nested too deep"));
        for (const QString& part : path) {
            if (part.isEmpty())
                return fail(lineNo, QStringLiteral("empty key name"));
        }
        return true;
    }

    bool section(QStringView line, qsizetype lineNo) {
        if (!line.endsWith(u']'))
            return fail(lineNo, QStringLiteral("a key line must end with ']'"));
        QStringView inner = line.mid(1, line.size() - 2);
        const bool remove = inner.startsWith(u'-');
        if (remove)
            inner = inner.mid(1);
        QStringList path;
        if (!splitPath(inner, path, lineNo))
            return false;
        if (remove) {
            RegKey* parent = tree.top.find(path.mid(0, path.size() - 1));
            if (parent)
                parent->removeSubkey(path.last());
            current = nullptr;
            skipping = true;
            return true;
        }
        RegKey* key = &tree.top;
        for (const QString& part : path)
            key = &key->subkeyOrNew(part);
        current = key;
        skipping = false;
        return true;
    }

    bool value(QString line, qsizetype lineNo) {
        qsizetype pos = 0;
        QString name;
        if (line[0] == u'@') {
            pos = 1;
        } else if (!parseQuoted(line, pos, name)) {
            return fail(lineNo, QStringLiteral("unterminated value name"));
        }
        while (pos < line.size() && isSpace(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != u'=')
            return fail(lineNo, QStringLiteral("'=' expected after the value name"));
        ++pos;
        while (pos < line.size() && isSpace(line[pos]))
            ++pos;

        // hex lists may continue over lines that end in '\'.
        // The line only grows at its end, so a long list costs linear time.
        if (QStringView(line).mid(pos).startsWith(QStringLiteral("hex"), Qt::CaseInsensitive)) {
            for (;;) {
                qsizetype end = line.size();
                while (end > pos && isSpace(line[end - 1]))
                    --end;
                if (end == pos || line[end - 1] != u'\\')
                    break;
                line.truncate(end - 1);
                if (index >= lines.size())
                    break;
                line += trimmed(lines[index++]);
            }
        }
        const QStringView data = trimmed(QStringView(line).mid(pos));
        if (!current) {
            if (skipping)
                return true;
            return fail(lineNo, QStringLiteral("a value outside any key"));
        }

        if (data == QStringLiteral("-")) {
            current->removeValue(name);
            return true;
        }
        RegValue v;
        v.name = name;
        if (data.startsWith(u'"')) {
            qsizetype p = 0;
            if (!parseQuoted(data, p, v.text))
                return fail(lineNo, QStringLiteral("unterminated string"));
            if (!trimmed(data.mid(p)).isEmpty())
                return fail(lineNo, QStringLiteral("text after the closing quote"));
            v.kind = RegValue::String;
        } else if (data.startsWith(QStringLiteral("dword:"), Qt::CaseInsensitive)) {
            if (!parseHex32(trimmed(data.mid(6)), v.dword))
                return fail(lineNo, QStringLiteral("a dword needs 1 to 8 hex digits"));
            v.kind = RegValue::Dword;
        } else if (data.startsWith(QStringLiteral("hex:"), Qt::CaseInsensitive)) {
            if (!parseHexList(data.mid(4), v.bytes))
                return fail(lineNo, QStringLiteral("bad hex byte list"));
            v.kind = RegValue::Binary;
        } else if (data.startsWith(QStringLiteral("hex("), Qt::CaseInsensitive)) {
            const qsizetype close = data.indexOf(QStringLiteral("):"));
            if (close < 0 || !parseHex32(data.mid(4, close - 4), v.type))
                return fail(lineNo, QStringLiteral("bad hex(type) prefix"));
            if (!parseHexList(data.mid(close + 2), v.bytes))
                return fail(lineNo, QStringLiteral("bad hex byte list"));
            classifyTyped(v);
        } else {
            return fail(lineNo, QStringLiteral("unknown value format"));
        }
        RegValue& slot = current->valueOrNew(name);
        v.name = slot.name;  // the first spelling stays
        slot = std::move(v);
        return true;
    }

    // hex(1), hex(3) and hex(4) are the string, binary and dword types in long form.
    static void classifyTyped(RegValue& v) {
        v.kind = RegValue::Other;
        if (v.type == 1 && decodeHexString(v.bytes, v.text)) {
            v.kind = RegValue::String;
        } else if (v.type == 3) {
            v.kind = RegValue::Binary;
        } else if (v.type == 4 && v.bytes.size() == 4) {
            const auto* p = reinterpret_cast<const unsigned char*>(v.bytes.constData());
            v.dword = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
            v.kind = RegValue::Dword;
        }
        if (v.kind != RegValue::Other) {
            if (v.kind != RegValue::Binary)
                v.bytes.clear();
            v.type = 0;
        }
    }

    bool run(const QString& text) {
        lines = text.split(u'\n');
        bool headerSeen = false;
        while (index < lines.size()) {
            const qsizetype lineNo = index;
            QString raw = lines[index++];
            if (raw.endsWith(u'\r'))
                raw.chop(1);
            const QStringView line = trimmed(raw);
            if (line.isEmpty() || line.startsWith(u';'))
                continue;
            if (!headerSeen) {
                if (line != kHeader)
                    return fail(lineNo,
                                QStringLiteral("the file must start with \"%1\"").arg(kHeader));
                headerSeen = true;
                continue;
            }
            bool ok;
            if (line.startsWith(u'['))
                ok = section(line, lineNo);
            else if (line.startsWith(u'"') || line.startsWith(u'@'))
                ok = value(line.toString(), lineNo);
            else
                ok = fail(lineNo, QStringLiteral("unexpected text"));
            if (!ok)
                return false;
        }
        return true;
    }
};

// ---- writing --------------------------------------------------------------------------------

QString quoted(const QString& s) {
    QString out;
    out.reserve(s.size() + 2);
    out += u'"';
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

const char kHexDigits[] = "0123456789abcdef";

// Byte lists are wrapped as the editor does: at most 80 columns, continuation lines indented by
// two spaces, each broken line ending in ",\".
void appendHexList(QString& out, QString line, const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        QString piece = QString(QChar(kHexDigits[b >> 4])) + QChar(kHexDigits[b & 15]);
        if (i + 1 < bytes.size())
            piece += u',';
        if (line.size() + piece.size() > 78 && line.size() > 2) {
            out += line;
            out += QStringLiteral("\\\r\n");
            line = QStringLiteral("  ");
        }
        line += piece;
    }
    out += line;
    out += QStringLiteral("\r\n");
}

QByteArray utf16Bytes(const QString& s) {
    QByteArray out(s.size() * 2, Qt::Uninitialized);
    char* p = out.data();
    for (QChar c : s) {
        *p++ = char(c.unicode() & 0xFF);
        *p++ = char(c.unicode() >> 8);
    }
    return out;
}

void appendValue(QString& out, const RegValue& v) {
    const QString head = (v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name)) + u'=';
    switch (v.kind) {
        case RegValue::String:
            if (v.text.contains(u'\n') || v.text.contains(u'\r') || v.text.contains(QChar(0))) {
                appendHexList(out, head + QStringLiteral("hex(1):"),
                              utf16Bytes(v.text) + QByteArray(2, '\0'));
            } else {
                out += head + quoted(v.text) + QStringLiteral("\r\n");
            }
            break;
        case RegValue::Dword:
            out += head + QStringLiteral("dword:%1").arg(v.dword, 8, 16, QChar(u'0')) +
                   QStringLiteral("\r\n");
            break;
        case RegValue::Binary:
            appendHexList(out, head + QStringLiteral("hex:"), v.bytes);
            break;
        case RegValue::Other:
            appendHexList(out, head + QStringLiteral("hex(%1):").arg(v.type, 0, 16), v.bytes);
            break;
    }
}

void appendKey(QString& out, const RegKey& key, const QString& path, bool topLevel) {
    // A hive root without values is implied by its subkeys' sections.
    if (!topLevel || !key.values.empty() || key.subkeys.empty()) {
        out += u'[' + path + QStringLiteral("]\r\n");
        for (const RegValue& v : key.values)
            appendValue(out, v);
        out += QStringLiteral("\r\n");
    }
    for (const RegKey& sub : key.subkeys)
        appendKey(out, sub, path + u'\\' + sub.name, false);
}

}  // namespace

// ---- RegKey ---------------------------------------------------------------------------------

RegKey* RegKey::findSubkey(const QString& subkey) {
    return findByName(subkeys, subkey);
}
const RegKey* RegKey::findSubkey(const QString& subkey) const {
    return findByName(subkeys, subkey);
}
RegKey& RegKey::subkeyOrNew(const QString& subkey) {
    if (RegKey* found = findSubkey(subkey))
        return *found;
    subkeys.push_back(RegKey{subkey, {}, {}});
    return subkeys.back();
}
bool RegKey::removeSubkey(const QString& subkey) {
    return removeByName(subkeys, subkey);
}
RegValue* RegKey::findValue(const QString& value) {
    return findByName(values, value);
}
const RegValue* RegKey::findValue(const QString& value) const {
    return findByName(values, value);
}
RegValue& RegKey::valueOrNew(const QString& value) {
    if (RegValue* found = findValue(value))
        return *found;
    RegValue v;
    v.name = value;
    values.push_back(std::move(v));
    return values.back();
}
bool RegKey::removeValue(const QString& value) {
    return removeByName(values, value);
}
const RegKey* RegKey::find(const QStringList& path) const {
    const RegKey* key = this;
    for (const QString& part : path) {
        key = key->findSubkey(part);
        if (!key)
            return nullptr;
    }
    return key;
}
RegKey* RegKey::find(const QStringList& path) {
    return const_cast<RegKey*>(std::as_const(*this).find(path));
}

// ---- entry points ---------------------------------------------------------------------------

RegParseResult parseRegFile(const QByteArray& bytes) {
    RegParseResult result;
    QString text;
    if (!decodeText(bytes, text, result.error))
        return result;
    Parser parser;
    if (!parser.run(text)) {
        result.error = parser.error;
        return result;
    }
    result.tree = std::move(parser.tree);
    return result;
}

QByteArray serializeRegFile(const RegTree& tree) {
    QString text = kHeader + QStringLiteral("\r\n\r\n");
    for (const RegKey& root : tree.top.subkeys)
        appendKey(text, root, root.name, true);
    return QByteArray("\xFF\xFE", 2) + utf16Bytes(text);
}

bool isValidRegKeyName(const QString& name) {
    return !name.isEmpty() && !name.contains(u'\\') && !name.contains(u'\r') &&
           !name.contains(u'\n');
}

bool isValidRegValueName(const QString& name) {
    return !name.contains(u'\r') && !name.contains(u'\n');
}

}  // namespace platform
