// Export filter settings kept in the engine's settings key (the report's IniFile, a key of the
// per-user registry such as "\Software\...\Fast Reports"): each filter class gets a subkey of its
// own name, holding the named Q_PROPERTYs (booleans and integers as integers, texts as strings,
// text lists as one string with CR LF between the lines).
//
// Thread contract: callable from any thread; each call opens its own registry object.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace reportengine {

// "<settingsKey>\<class name without namespace>".
QString FilterSettingsKey(const QObject& filter, const QString& settingsKey);

// Reads the properties stored for the filter; a property without a stored value keeps its value.
// False when the key does not exist.
bool LoadFilterSettings(QObject& filter, const QString& settingsKey, const QStringList& names);

// Stores the properties. Throws the registry's exception when the hive cannot be written.
void SaveFilterSettings(const QObject& filter, const QString& settingsKey,
                        const QStringList& names);

}  // namespace reportengine
