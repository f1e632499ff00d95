// IniFile: every call reads the file afresh; every write is read, edit one line, replace the
// file atomically.
#include "platform/IniFile.h"

#include <QFile>

#include <limits>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/IniDocument.h"

namespace platform {
namespace {

enum class Load { Ok, Missing, Failed };

Load load(const QString& fileName, IniDocument& doc, QString* error = nullptr) {
    QFile file(fileName);
    if (!file.exists())
        return Load::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return Load::Failed;
    }
    doc = IniDocument::parse(file.readAll());
    return Load::Ok;
}

IniDocument loadOrEmpty(const QString& fileName) {
    IniDocument doc;
    load(fileName, doc);
    return doc;
}

// Integers as the familiar string-to-integer conversion takes them: decimal with a sign, or
// hexadecimal after '$' or "0x"; anything else is not a number.
bool toInt(const QString& text, int& out) {
    QStringView s(text);
    bool negative = false;
    if (s.startsWith(u'-') || s.startsWith(u'+')) {
        negative = s[0] == u'-';
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith(u'$')) {
        base = 16;
        s = s.mid(1);
    } else if (s.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        s = s.mid(2);
    }
    if (s.isEmpty() || !(s[0].isDigit() || (base == 16 && s[0].isLetter())))
        return false;
    bool ok = false;
    const qulonglong magnitude = s.toULongLong(&ok, base);
    if (!ok)
        return false;
    if (base == 16) {
        // Hexadecimal spells the 32 bits, so $FFFFFFFF is -1.
        if (magnitude > 0xFFFFFFFFull)
            return false;
        const quint32 bits = static_cast<quint32>(magnitude);
        out = static_cast<int>(negative ? 0u - bits : bits);
        return true;
    }
    const qlonglong limit = negative ? -qlonglong(std::numeric_limits<int>::min())
                                     : qlonglong(std::numeric_limits<int>::max());
    if (magnitude > qulonglong(limit))
        return false;
    out = static_cast<int>(negative ? -qlonglong(magnitude) : qlonglong(magnitude));
    return true;
}

}  // namespace

IniFile::IniFile(QString fileName) : FFileName(std::move(fileName)) {}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    QString value;
    return loadOrEmpty(FFileName).value(section, key, &value) ? value : def;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    QString text;
    int value;
    if (loadOrEmpty(FFileName).value(section, key, &text) && toInt(text, value))
        return value;
    return def;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::SectionExists(const QString& section) const {
    return loadOrEmpty(FFileName).sectionExists(section);
}

bool IniFile::ValueExists(const QString& section, const QString& key) const {
    return loadOrEmpty(FFileName).value(section, key, nullptr);
}

QStringList IniFile::ReadSections() const {
    return loadOrEmpty(FFileName).sections();
}

QStringList IniFile::ReadSection(const QString& section) const {
    return loadOrEmpty(FFileName).keys(section);
}

namespace {

// Read, edit, replace. A file that exists but cannot be read is never replaced: its content
// would be lost. createIfMissing: whether the edit makes sense on a file that is not there.
template <typename Edit>
void edit(const QString& fileName, bool createIfMissing, Edit&& apply) {
    IniDocument doc;
    QString error;
    switch (load(fileName, doc, &error)) {
        case Load::Failed:
            throw EFileError(QStringLiteral("Cannot read file '%1': %2").arg(fileName, error));
        case Load::Missing:
            if (!createIfMissing)
                return;
            break;
        case Load::Ok:
            break;
    }
    if (apply(doc))
        writeFileAtomically(fileName, doc.serialize());
}

}  // namespace

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    edit(FFileName, true, [&](IniDocument& doc) {
        if (!doc.setValue(section, key, value))
            throw EFileError(QStringLiteral("Cannot write file '%1': [%2] %3 cannot be stored "
                                            "in an INI line")
                                 .arg(FFileName, section, key));
        return true;
    });
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::DeleteKey(const QString& section, const QString& key) {
    edit(FFileName, false, [&](IniDocument& doc) { return doc.removeKey(section, key); });
}

void IniFile::EraseSection(const QString& section) {
    edit(FFileName, false, [&](IniDocument& doc) { return doc.removeSection(section); });
}

}  // namespace platform
