// A dataset's rows as text, for comparing results in tests: columns separated by '|', null shown
// as '~'. Moves the cursor (from the first record to the end).
#pragma once

#include "platform/DataSet.h"
#include "platform/Fields.h"

#include <QStringList>

namespace testenv {

inline QStringList dump(platform::TDataSet& t) {
    QStringList rows;
    for (t.First(); !t.Eof(); t.Next()) {
        QStringList cells;
        for (platform::TField* f : t.Fields())
            cells << (f->IsNull() ? QStringLiteral("~") : f->AsString());
        rows << cells.join(u'|');
    }
    return rows;
}

}  // namespace testenv
