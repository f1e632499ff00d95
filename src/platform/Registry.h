// Stand-in for the machine and user registry hives. Each hive (HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER) is one "Windows Registry Editor Version 5.00" text file, so an operator can
// read it, edit it and import it on Windows. The folder comes from VELLUMAR_REGISTRY_DIR, default
// $XDG_CONFIG_HOME/Vellumar (or ~/.config/Vellumar).
//
// The accessor follows the familiar registry-object contract: open a key (relative to the current
// key, or absolute when it starts with '\'), read and write typed values, close. Key and value
// names compare without regard to letter case and keep the spelling they were created with.
// Every write re-reads the hive under an exclusive lock on "<hive>.lock" and replaces the file
// atomically, so two programs writing different values lose neither. A hive file without write
// permission makes every write fail with the registry's own texts ("Failed to set data for
// '<value>'", "Failed to create key <key>").
//
// Thread contract: one Registry object belongs to one thread; separate objects may be used on
// separate threads and in separate processes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace platform {

enum class RootKey { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER };

enum class RegDataType { Unknown, String, Integer, Binary };

class Registry {
public:
    explicit Registry(RootKey root = RootKey::HKEY_CURRENT_USER);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    RootKey rootKey() const { return FRootKey; }
    void setRootKey(RootKey root);  // closes the current key

    // Makes key current. Without canCreate a missing key fails (false). With canCreate the key
    // and its missing parents are created; false when the hive cannot be written.
    bool OpenKey(const QString& key, bool canCreate);
    bool OpenKeyReadOnly(const QString& key);
    void CloseKey();
    QString CurrentPath() const;  // without the leading '\', e.g. "SOFTWARE\TAMUR"

    bool KeyExists(const QString& key) const;
    bool CreateKey(const QString& key);  // throws "Failed to create key <key>" on failure
    bool DeleteKey(const QString& key);  // deletes the key with all its subkeys
    QStringList GetKeyNames() const;     // subkeys of the current key
    QStringList GetValueNames() const;
    bool HasSubKeys() const;

    bool ValueExists(const QString& name) const;
    RegDataType GetDataType(const QString& name) const;  // Unknown when missing
    bool DeleteValue(const QString& name);

    // Reads. ReadString of a missing value returns ""; ReadInteger and ReadBinaryData of a missing
    // value throw "Failed to get data for '<name>'"; a value of another type throws
    // "Invalid data type for '<name>'".
    QString ReadString(const QString& name) const;
    int ReadInteger(const QString& name) const;
    QByteArray ReadBinaryData(const QString& name) const;
    bool ReadBool(const QString& name) const;  // an integer value, non-zero = true

    // Writes: throw "Failed to set data for '<name>'" when no key is open or the hive cannot be
    // written.
    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, int value);
    void WriteBinaryData(const QString& name, const QByteArray& value);
    void WriteBool(const QString& name, bool value);

    // The file that holds a hive (for tests and the README).
    static QString hiveFilePath(RootKey root);

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
    RootKey FRootKey;
};

}  // namespace platform
