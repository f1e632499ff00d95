// A TZMemTable filled the way the result decoder fills it: column descriptors into MemFieldDefs
// and FieldDefs, records encoded into the slot layout with value blocks, then the table's own
// open step. Used by the table, filter and search tests.
#pragma once

#include "TestEnv.h"
#include "dataclient/UZMemTable.h"
#include "platform/Cp1251.h"
#include "platform/DateTime.h"
#include "platform/MessageBox.h"

#include <QStringList>
#include <QUuid>
#include <cstring>
#include <vector>

namespace memtest {

using namespace platform;
using namespace dataclient;

struct Column {
    QString name;
    TFieldType type;
    int size = 0;
};

class FilledTable : public TZMemTable {
public:
    explicit FilledTable(std::vector<Column> columns, QObject* owner = nullptr)
        : TZMemTable(owner), FColumns(std::move(columns)) {}

    // One value per column; a null Variant leaves the column without a value.
    void addRow(const QList<Variant>& values) { FRows.push_back(values); }

    using TZMemTable::CurRec;
    using TZMemTable::GetRecord;
    char* activeBuffer() const { return ActiveBuffer(); }

protected:
    void InternalOpen() override {
        FMemFieldDefs.clear();
        FieldDefs().Clear();
        int offset = (int(FColumns.size()) + 7) / 8;
        for (const Column& c : FColumns) {
            FieldDefs().Add(c.name, c.type, c.size);
            TMemFieldDef def;
            def.Name = c.name;
            def.DataType = c.type;
            def.Size = c.size;
            def.Offset = offset;
            offset += GetTypeSize(c.type);
            FMemFieldDefs.push_back(def);
        }
        FDataSize = offset;
        for (TField* f : Fields())
            if (f->FieldKind == fkCalculated) {
                TMemFieldDef def;
                def.Field = f;
                def.Name = f->FieldName;
                def.DataType = f->DataType();
                def.Size = f->Size();
                def.FieldKind = fkCalculated;
                FMemFieldDefs.push_back(def);
            }
        for (const auto& row : FRows)
            AppendRecord(encode(row));
        TZMemTable::InternalOpen();
    }

private:
    char* encode(const QList<Variant>& row) {
        char* rec = NewRecord();
        for (size_t k = 0; k < FColumns.size(); ++k) {
            const Variant& v = row.value(qsizetype(k), Variant::Null());
            if (v.IsNull())
                continue;
            rec[k / 8] = char(uint8_t(rec[k / 8]) | (1u << (k % 8)));
            char* slot = rec + FMemFieldDefs[k].Offset;
            auto put = [slot](auto x) { std::memcpy(slot, &x, sizeof x); };
            switch (FColumns[k].type) {
                case ftString:
                case ftMemo: {
                    const QByteArray b = toCp1251(v.ToString());
                    if (!b.isEmpty())
                        put(Blocks().Create(b.constData(), int32_t(b.size())));
                    break;
                }
                case ftVarBytes:
                case ftBlob:
                case ftGraphic: {
                    const QByteArray b = v.ToBytes();
                    if (!b.isEmpty())
                        put(Blocks().Create(b.constData(), int32_t(b.size())));
                    break;
                }
                case ftSmallint:
                    put(int16_t(v.ToInt()));
                    break;
                case ftWord:
                    put(uint16_t(v.ToInt()));
                    break;
                case ftBoolean:
                    put(int16_t(v.ToBool() ? 1 : 0));
                    break;
                case ftInteger:
                case ftAutoInc:
                    put(int32_t(v.ToInt()));
                    break;
                case ftLargeint:
                    put(v.ToInt64());
                    break;
                case ftFloat:
                case ftCurrency:
                    put(v.ToDouble());
                    break;
                case ftDate:
                    put(DateTimeToTimeStamp(v.ToDateTime()).Date);
                    break;
                case ftTime:
                    put(DateTimeToTimeStamp(v.ToDateTime()).Time);
                    break;
                case ftDateTime:
                    put(DateTimeToMSecs(v.ToDateTime()));
                    break;
                case ftGuid: {
                    const QUuid u = QUuid::fromString(v.ToString());
                    std::memcpy(slot, &u.data1, 4);
                    std::memcpy(slot + 4, &u.data2, 2);
                    std::memcpy(slot + 6, &u.data3, 2);
                    std::memcpy(slot + 8, u.data4, 8);
                    break;
                }
                default:
                    break;
            }
        }
        return rec;
    }

    std::vector<Column> FColumns;
    std::vector<QList<Variant>> FRows;
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
