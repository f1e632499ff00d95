// FilledMemTable: an in-memory table filled from values instead of a result stream. Column
// descriptors become MemFieldDefs and FieldDefs, each row of Variants is encoded into the slot
// layout with value blocks, then the table's own open step runs: the layout the result decoder
// builds, without a server. Used by the table tests, the benchmarks and the fuzz targets.
// Rows are either kept (addRow, encoded again at every open) or produced at open time by a row
// source, so that a million rows need not be held twice.
// Thread contract: one thread, like every dataset.
#pragma once

#include "dataclient/UZMemTable.h"
#include "platform/Cp1251.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QList>
#include <QUuid>

#include <cstring>
#include <functional>
#include <vector>

namespace dataclient {

struct FilledColumn {
    QString name;
    platform::TFieldType type;
    int size = 0;
};

class FilledMemTable : public TZMemTable {
public:
    using Row = QList<platform::Variant>;
    // Called at open with a sink that takes one row.
    using RowSource = std::function<void(const std::function<void(const Row&)>& append)>;

    explicit FilledMemTable(std::vector<FilledColumn> columns, QObject* owner = nullptr)
        : TZMemTable(owner), FColumns(std::move(columns)) {}

    // One value per column; a null Variant leaves the column without a value.
    void addRow(const Row& values) { FRows.push_back(values); }
    void setRowSource(RowSource source) { FSource = std::move(source); }

protected:
    void InternalOpen() override {
        using namespace platform;
        FMemFieldDefs.clear();
        FieldDefs().Clear();
        int offset = (int(FColumns.size()) + 7) / 8;
        for (const FilledColumn& c : FColumns) {
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
        for (const Row& row : FRows)
            AppendRecord(encode(row));
        if (FSource)
            FSource([this](const Row& row) { AppendRecord(encode(row)); });
        TZMemTable::InternalOpen();
    }

private:
    char* encode(const Row& row) {
        using namespace platform;
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

    std::vector<FilledColumn> FColumns;
    std::vector<Row> FRows;
    RowSource FSource;
};

}  // namespace dataclient
