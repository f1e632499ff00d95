// The text form of a registry hive: "Windows Registry Editor Version 5.00", as exported by the
// Windows registry editor. Pure functions from bytes to a tree and back, so the format can be
// tested and fuzzed on byte strings; the Registry class adds files, locks and caching.
//
// Reading accepts UTF-16LE or UTF-16BE with a byte-order mark, or UTF-8 with or without one; CR LF
// or LF line ends; `[key]` and `[-key]` (deletion) sections; `"name"=` or `@=` followed by a
// quoted string, `dword:`, `hex:`, `hex(n):` (lists may continue over lines ending in '\') or `-`
// (deletion); `;` comment lines. Writing gives UTF-16LE with a byte-order mark and CR LF, every
// key in a section of its own (empty keys too), long hex lists wrapped at 80 columns.
//
// Key and value names compare without regard to letter case; the first spelling is kept.
// Value types other than string, 32-bit integer and binary are kept as their type number and
// bytes, so a rewrite loses nothing. A string holding a line break or NUL is written as hex(1):
// (its UTF-16LE bytes), which the editor also understands.
//
// Thread contract: pure functions and plain values; safe anywhere.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace platform {

struct RegValue {
    enum Kind { String, Dword, Binary, Other };

    QString name;  // "" is the key's default value (written as @)
    Kind kind = String;
    QString text;             // String
    std::uint32_t dword = 0;  // Dword
    QByteArray bytes;         // Binary and Other
    std::uint32_t type = 0;   // Other: the hex(n) type number

    bool operator==(const RegValue&) const = default;
};

struct RegKey {
    QString name;
    std::vector<RegValue> values;  // in file order
    std::vector<RegKey> subkeys;   // in file order

    bool operator==(const RegKey&) const = default;

    RegKey* findSubkey(const QString& subkey);
    const RegKey* findSubkey(const QString& subkey) const;
    RegKey& subkeyOrNew(const QString& subkey);  // creates it at the end when missing
    bool removeSubkey(const QString& subkey);

    RegValue* findValue(const QString& value);
    const RegValue* findValue(const QString& value) const;
    RegValue& valueOrNew(const QString& value);  // a new value is an empty string
    bool removeValue(const QString& value);

    // Walks down path (names, no separators); nullptr when a step is missing.
    const RegKey* find(const QStringList& path) const;
    RegKey* find(const QStringList& path);
};

// The whole file: the top-level keys ("HKEY_LOCAL_MACHINE", ...) are the subkeys of `top`, whose
// own name and values are unused.
struct RegTree {
    RegKey top;
    bool operator==(const RegTree&) const = default;
};

struct RegParseResult {
    RegTree tree;
    QString error;  // empty on success; else "line N: reason"
    bool ok() const { return error.isEmpty(); }
};

// Deepest key path the parser accepts (the Windows registry allows 512 levels).
constexpr int kMaxRegKeyDepth = 512;

RegParseResult parseRegFile(const QByteArray& bytes);
QByteArray serializeRegFile(const RegTree& tree);

// A name the text form can carry: key names must be non-empty and free of '\', CR and LF; value
// names free of CR and LF.
bool isValidRegKeyName(const QString& name);
bool isValidRegValueName(const QString& name);

}  // namespace platform
