#include "reportengine/export/ExportSettings.h"

#include "platform/Registry.h"

#include <QMetaProperty>

namespace reportengine {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

QMetaProperty propertyOf(const QObject& filter, const QString& name) {
    const QMetaObject* meta = filter.metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    return index < 0 ? QMetaProperty() : meta->property(index);
}

}  // namespace

QString FilterSettingsKey(const QObject& filter, const QString& settingsKey) {
    QString name = QString::fromLatin1(filter.metaObject()->className());
    name = name.mid(name.lastIndexOf(u':') + 1);
    QString key = settingsKey;
    while (key.endsWith(u'\\'))
        key.chop(1);
    if (!key.startsWith(u'\\'))
        key.prepend(u'\\');
    return key + u'\\' + name;
}

bool LoadFilterSettings(QObject& filter, const QString& settingsKey, const QStringList& names) {
    platform::Registry reg(platform::RootKey::HKEY_CURRENT_USER);
    if (settingsKey.isEmpty() || !reg.OpenKeyReadOnly(FilterSettingsKey(filter, settingsKey)))
        return false;
    for (const QString& name : names) {
        const QMetaProperty prop = propertyOf(filter, name);
        if (!prop.isValid() || !reg.ValueExists(name))
            continue;
        switch (prop.typeId()) {
            case QMetaType::Bool:
            case QMetaType::Int:
                if (reg.GetDataType(name) == platform::RegDataType::Integer)
                    prop.write(&filter, prop.typeId() == QMetaType::Bool
                                            ? QVariant(reg.ReadBool(name))
                                            : QVariant(reg.ReadInteger(name)));
                break;
            case QMetaType::QStringList:
                if (reg.GetDataType(name) == platform::RegDataType::String)
                    prop.write(&filter, reg.ReadString(name).split(kLineBreak));
                break;
            default:
                if (reg.GetDataType(name) == platform::RegDataType::String)
                    prop.write(&filter, reg.ReadString(name));
        }
    }
    return true;
}

void SaveFilterSettings(const QObject& filter, const QString& settingsKey,
                        const QStringList& names) {
    platform::Registry reg(platform::RootKey::HKEY_CURRENT_USER);
    if (!reg.OpenKey(FilterSettingsKey(filter, settingsKey), true))
        reg.CreateKey(FilterSettingsKey(filter, settingsKey));  // throws the registry's text
    for (const QString& name : names) {
        const QMetaProperty prop = propertyOf(filter, name);
        if (!prop.isValid())
            continue;
        const QVariant value = prop.read(&filter);
        switch (prop.typeId()) {
            case QMetaType::Bool:
                reg.WriteBool(name, value.toBool());
                break;
            case QMetaType::Int:
                reg.WriteInteger(name, value.toInt());
                break;
            case QMetaType::QStringList:
                reg.WriteString(name, value.toStringList().join(kLineBreak));
                break;
            default:
                reg.WriteString(name, value.toString());
        }
    }
}

}  // namespace reportengine
