// The table, filter and search tests' fixture: a FilledMemTable (UZMemTableBuilder.h) that shows
// its cursor and buffers, and a recorder of error boxes.
#pragma once

#include "TestEnv.h"
#include "dataclient/UZMemTableBuilder.h"
#include "platform/MessageBox.h"

#include <QStringList>
#include <vector>

namespace memtest {

using namespace platform;
using namespace dataclient;

using Column = FilledColumn;

// The shared filled table, with what the tests look at inside it.
class FilledTable : public FilledMemTable {
public:
    using FilledMemTable::FilledMemTable;
    using TZMemTable::CurRec;
    using TZMemTable::GetRecord;
    char* activeBuffer() const { return ActiveBuffer(); }
};

// Collects the texts the application's error box would show.
class CapturedErrors {
public:
    CapturedErrors() {
        setMessageHandler([this](const MessageRequest& r) {
            texts << r.text;
            return MsgResult::Ok;
        });
    }
    ~CapturedErrors() { setMessageHandler(nullptr); }
    QStringList texts;
};

// The values of one column over the records the table shows, in order.
inline QStringList columnValues(TDataSet& t, const QString& field) {
    QStringList out;
    for (t.First(); !t.Eof(); t.Next())
        out << t.FieldByName(field)->AsString();
    return out;
}

}  // namespace memtest
