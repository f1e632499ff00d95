// Reader and writer of INI files such as "zarin.ini": sections, keys and defaults. Section and key
// names compare without regard to letter case. A write changes only the line it must (or appends
// one), so comments, unknown sections and the byte form of every other line survive; the file is
// replaced atomically. Text is read as UTF-8 when valid, else as Windows-1251 (files written on
// Windows); a file read as Windows-1251 is written back in it.
// Thread contract: one object per thread; each call reads or writes the file afresh.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

class IniFile {
public:
    explicit IniFile(QString fileName);

    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QStringList ReadSections() const;
    QStringList ReadSection(const QString& section) const;  // key names in file order

    // Throws EFileError on failure; the file is unchanged then.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void DeleteKey(const QString& section, const QString& key);
    void EraseSection(const QString& section);

private:
    QString FFileName;
};

}  // namespace platform
