// The text of an INI file as a list of lines, each kept with its own line end, so that an edit
// touches only the lines it must and everything else is written back byte for byte. IniFile
// reads and writes files through it; the fuzzer and the tests use it on byte strings.
//
// Reading rules: a line whose first non-blank character is ';' or '#' is a comment; "[name]" opens
// a section (name trimmed); "key=value" inside a section is a key (key and value trimmed at
// spaces and tabs); anything else, and every line before the first section, is kept but ignored.
// Section and key names compare without regard to letter case; a section that occurs twice is
// read as one, and the first line of a key wins.
//
// Text is UTF-8 when the bytes are valid UTF-8 (a byte-order mark is kept), else Windows-1251;
// it is written back in the same encoding. New lines take the file's line end (the first one
// found; LF for a file without any).
//
// Thread contract: a plain value; use one object per thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace platform {

class IniDocument {
public:
    enum class Encoding { Utf8, Utf8WithBom, Cp1251 };

    static IniDocument parse(const QByteArray& bytes);
    QByteArray serialize() const;

    Encoding encoding() const { return FEncoding; }
    QString lineEnd() const { return FLineEnd; }

    bool value(const QString& section, const QString& key, QString* value) const;
    bool sectionExists(const QString& section) const;
    QStringList sections() const;                    // first spelling, file order
    QStringList keys(const QString& section) const;  // first spelling, file order

    // Replaces the value of an existing key in place, else adds the key at the end of the
    // section (before its trailing blank lines), else adds the section at the end of the text.
    // False, with nothing changed, when the names or the value cannot be stored in an INI line
    // (empty key, '=' in the key, ']' in the section, a line break anywhere).
    bool setValue(const QString& section, const QString& key, const QString& value);
    bool removeKey(const QString& section, const QString& key);  // false when absent
    bool removeSection(const QString& section);                  // false when absent

private:
    enum class Kind { Other, Comment, Section, Key };
    struct Line {
        QString text;
        QString end;  // "\r\n", "\n" or "" (last line without a line end)
        Kind kind = Kind::Other;
        QString name;   // section or key name
        QString value;  // key value
    };

    static Line classify(QString text, QString end);
    // [begin, end) of the lines of each occurrence of section, header included.
    std::vector<std::pair<size_t, size_t>> ranges(const QString& section) const;
    void insertLine(size_t at, const QString& text);

    std::vector<Line> FLines;
    Encoding FEncoding = Encoding::Utf8;
    QString FLineEnd = QStringLiteral("\n");
};

}  // namespace platform
