// The bridge between script values and Qt's reflection: QVariant <-> Variant conversions (QString,
// integers, double, bool, QDateTime/QDate, QColor as a 0x00BBGGRR integer, enums, QStringList as
// an array of strings, QObject* as an object value), and case-insensitive look-up, reading,
// writing and invoking of Q_PROPERTY and Q_INVOKABLE members. Failures throw EScriptRuntime with a
// message for template authors; the interpreter adds the place.
// Thread contract: MetaNames tables are built once per QMetaObject by the owning Script and only
// read afterwards; the functions run on the thread that owns the object.
#pragma once

#include "platform/Variant.h"

#include <QHash>
#include <QMetaProperty>
#include <QVariant>
#include <vector>

namespace script {

// Members of one QMetaObject by lower-case name.
struct MetaNames {
    QHash<QString, int> Properties;            // -> property index
    QHash<QString, std::vector<int>> Methods;  // -> method indexes (overloads), public only
    static MetaNames Build(const QMetaObject* meta);
};

platform::Variant FromQVariant(const QVariant& value);
// The value for a Qt type; enums accept a name or a number, QStringList an array or a text whose
// lines (CR LF or LF) become the items.
QVariant ToQVariant(const platform::Variant& value, QMetaType type,
                    const QMetaEnum* enumeration = nullptr);

platform::Variant ReadProperty(QObject* object, const QMetaProperty& property);
void WriteProperty(QObject* object, const QMetaProperty& property, const platform::Variant& value);
// Calls the overload taking args.size() parameters; throws when none does.
platform::Variant InvokeMethod(QObject* object, const std::vector<int>& overloads,
                               const std::vector<platform::Variant>& args);

// String lists as script values: CR LF joined text and back.
QString JoinLines(const QList<platform::Variant>& items);
QList<platform::Variant> SplitLines(const QString& text);

// The unqualified C++ class name of a QMetaObject ("ns::TfrxMemo" gives "TfrxMemo").
QString PlainClassName(const QMetaObject* meta);

}  // namespace script
