// The older binary form of a template's lists: PropData holds, in hex, a sequence of
// (property name, value) pairs in the stream format of the platform's component writer. Only the
// value kinds that such lists use are understood; anything else ends the decoding.
// Thread contract: pure functions.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace reportengine {

struct PropValue {
    bool IsList = false;
    QString Text;  // scalars as text (numbers too)
    std::vector<PropValue> Items;
    // The scalar texts of the value, lists flattened.
    void Flatten(std::vector<QString>& out) const;
    // The items grouped: nested lists give one group each, flat scalars groups of size.
    std::vector<std::vector<QString>> Groups(int size) const;
};

struct PropEntry {
    QString Name;
    PropValue Value;
};

// Decodes the hex text; false (with what decoded so far) when the data is damaged.
bool DecodePropData(const QString& hex, std::vector<PropEntry>& entries);

}  // namespace reportengine
