// Property values as template attributes: text forms of each property kind (enums by name,
// booleans True/False, floats with '.', string lists as CR LF text, bytes as hex), and the walk
// over an object's stored properties in declaration order, dotted into sub-objects.
// Thread contract: pure functions; the thread that owns the objects.
#pragma once

#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

namespace reportengine {

class TfrxComponent;

// One stored property reached from a component: Path is the attribute name ("Font.Name",
// "SQL.Text"), Target the object that has the property.
struct PropertySlot {
    QString Path;
    QObject* Target;
    QMetaProperty Property;
    std::vector<int> Chain;  // property indexes from the component down to Property
};
// The value at the same chain on another object of the same class (the prototype).
QVariant ReadChain(const QObject& root, const std::vector<int>& chain);

// Visits every stored, persistent property of the component in declaration order (sub-objects
// expanded in place). For writing the component decides through IsStoredProperty; reading takes
// whatever the file has (a font may precede the ParentFont that makes it count).
void ForEachStoredProperty(TfrxComponent& component, bool forWriting,
                           const std::function<void(const PropertySlot&)>& visit);

// The attribute text of a value; references are handled by the caller.
QString FormatValue(const QMetaProperty& property, const QVariant& value);
// The value for an attribute text; false when the text does not fit the property.
bool ParseValue(const QMetaProperty& property, const QString& text, QVariant& value);
QString FormatFloat(double value);

}  // namespace reportengine
