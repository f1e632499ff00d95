// INI text model: classification of lines and the few edits IniFile needs.
#include "platform/IniDocument.h"

#include <QStringDecoder>

#include "platform/Cp1251.h"

namespace platform {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

// Only ASCII blanks: a no-break space (0xA0 in Windows-1251) is part of a value.
QString trimmedBlanks(QStringView s) {
    qsizetype a = 0, e = s.size();
    while (a < e && isBlank(s[a]))
        ++a;
    while (e > a && isBlank(s[e - 1]))
        --e;
    return s.mid(a, e - a).toString();
}

bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Decodes valid UTF-8 keeping a leading byte-order mark as a character (the plain decoder drops
// it), so that the text encodes back to the same bytes.
QString utf8Exact(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

bool hasLineBreak(const QString& s) {
    return s.contains(u'\n') || s.contains(u'\r');
}

}  // namespace

IniDocument::Line IniDocument::classify(QString text, QString end) {
    Line line;
    const QString t = trimmedBlanks(text);
    if (t.startsWith(u';') || t.startsWith(u'#')) {
        line.kind = Kind::Comment;
    } else if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = trimmedBlanks(QStringView(t).mid(1, close - 1));
        }
    } else if (const qsizetype eq = t.indexOf(u'='); eq > 0) {
        line.name = trimmedBlanks(QStringView(t).left(eq));
        if (!line.name.isEmpty()) {
            line.kind = Kind::Key;
            line.value = trimmedBlanks(QStringView(t).mid(eq + 1));
        }
    }
    line.text = std::move(text);
    line.end = std::move(end);
    return line;
}

IniDocument IniDocument::parse(const QByteArray& bytes) {
    IniDocument doc;
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF") && isValidUtf8(bytes)) {
        doc.FEncoding = Encoding::Utf8WithBom;
        text = utf8Exact(bytes.mid(3));
    } else if (isValidUtf8(bytes)) {
        doc.FEncoding = Encoding::Utf8;
        text = utf8Exact(bytes);
    } else {
        doc.FEncoding = Encoding::Cp1251;
        text = fromCp1251(bytes);
    }
    bool endKnown = false;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype nl = text.indexOf(u'\n', pos);
        if (nl < 0) {
            doc.FLines.push_back(classify(text.mid(pos), QString()));
            break;
        }
        const bool crlf = nl > pos && text[nl - 1] == u'\r';
        const QString end = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
        if (!endKnown) {
            doc.FLineEnd = end;
            endKnown = true;
        }
        doc.FLines.push_back(classify(text.mid(pos, nl - pos - (crlf ? 1 : 0)), end));
        pos = nl + 1;
    }
    return doc;
}

QByteArray IniDocument::serialize() const {
    QString text;
    for (const Line& line : FLines) {
        text += line.text;
        text += line.end;
    }
    switch (FEncoding) {
        case Encoding::Utf8WithBom:
            return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        case Encoding::Cp1251:
            return toCp1251(text);
        case Encoding::Utf8:
            break;
    }
    return text.toUtf8();
}

std::vector<std::pair<size_t, size_t>> IniDocument::ranges(const QString& section) const {
    std::vector<std::pair<size_t, size_t>> result;
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (FLines[i].kind != Kind::Section || !same(FLines[i].name, section))
            continue;
        size_t end = i + 1;
        while (end < FLines.size() && FLines[end].kind != Kind::Section)
            ++end;
        result.emplace_back(i, end);
        i = end - 1;
    }
    return result;
}

bool IniDocument::value(const QString& section, const QString& key, QString* value) const {
    for (const auto& [begin, end] : ranges(section)) {
        for (size_t i = begin + 1; i < end; ++i) {
            if (FLines[i].kind == Kind::Key && same(FLines[i].name, key)) {
                if (value)
                    *value = FLines[i].value;
                return true;
            }
        }
    }
    return false;
}

bool IniDocument::sectionExists(const QString& section) const {
    return !ranges(section).empty();
}

QStringList IniDocument::sections() const {
    QStringList names;
    for (const Line& line : FLines) {
        if (line.kind == Kind::Section && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    }
    return names;
}

QStringList IniDocument::keys(const QString& section) const {
    QStringList names;
    for (const auto& [begin, end] : ranges(section)) {
        for (size_t i = begin + 1; i < end; ++i) {
            if (FLines[i].kind == Kind::Key && !names.contains(FLines[i].name, Qt::CaseInsensitive))
                names.append(FLines[i].name);
        }
    }
    return names;
}

void IniDocument::insertLine(size_t at, const QString& text) {
    // The line before the new one may have been the last of a file without a final line end.
    if (at > 0 && FLines[at - 1].end.isEmpty())
        FLines[at - 1].end = FLineEnd;
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at), classify(text, FLineEnd));
}

bool IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = trimmedBlanks(section);
    const QString keyName = trimmedBlanks(key);
    if (hasLineBreak(section) || sectionName.contains(u']') || hasLineBreak(key) ||
        keyName.isEmpty() || keyName.contains(u'=') || keyName.startsWith(u'[') ||
        keyName.startsWith(u';') || keyName.startsWith(u'#') || hasLineBreak(value))
        return false;

    const auto found = ranges(sectionName);
    for (const auto& [begin, end] : found) {
        for (size_t i = begin + 1; i < end; ++i) {
            Line& line = FLines[i];
            if (line.kind != Kind::Key || !same(line.name, keyName))
                continue;
            // Keep everything up to the value: the key's spelling and the blanks around '='.
            qsizetype start = line.text.indexOf(u'=') + 1;
            while (start < line.text.size() && isBlank(line.text[start]))
                ++start;
            line = classify(line.text.left(start) + value, line.end);
            return true;
        }
    }
    const QString newKey = keyName + u'=' + value;
    if (!found.empty()) {
        const auto [begin, end] = found.front();
        size_t at = end;
        while (at > begin + 1 && trimmedBlanks(FLines[at - 1].text).isEmpty())
            --at;
        insertLine(at, newKey);
        return true;
    }
    // A new section goes at the end, set off by a blank line.
    if (!FLines.empty() && !trimmedBlanks(FLines.back().text).isEmpty())
        insertLine(FLines.size(), QString());
    insertLine(FLines.size(), u'[' + sectionName + u']');
    insertLine(FLines.size(), newKey);
    return true;
}

bool IniDocument::removeKey(const QString& section, const QString& key) {
    bool removed = false;
    const auto found = ranges(section);
    // Back to front, so earlier ranges stay valid while lines go.
    for (auto r = found.rbegin(); r != found.rend(); ++r) {
        for (size_t i = r->second; i-- > r->first + 1;) {
            if (FLines[i].kind == Kind::Key && same(FLines[i].name, key)) {
                FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(i));
                removed = true;
            }
        }
    }
    return removed;
}

bool IniDocument::removeSection(const QString& section) {
    const auto found = ranges(section);
    for (auto r = found.rbegin(); r != found.rend(); ++r)
        FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(r->first),
                     FLines.begin() + static_cast<std::ptrdiff_t>(r->second));
    return !found.empty();
}

}  // namespace platform
