// Fuzz target for filter texts: SetFilter on a small in-memory table (every column type the
// filter reads, nulls and present-empty strings), then evaluation over every record through the
// filtered count and a walk. Parse errors must be swallowed by SetFilter; evaluation errors must
// reach the application's handler (answered here) and never escape.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dataclient/UZFilterParser.h"
#include "dataclient/UZMemTable.h"
#include "platform/Cp1251.h"
#include "platform/MessageBox.h"

namespace {

using namespace platform;
using namespace dataclient;

class SmallTable : public TZMemTable {
protected:
    void InternalOpen() override {
        const struct {
            const char* name;
            TFieldType type;
            int size;
        } columns[] = {{"Id", ftInteger, 0},   {"Name", ftString, 10},   {"Status", ftSmallint, 0},
                       {"Price", ftFloat, 0},  {"Day", ftDateTime, 0},   {"Flag", ftBoolean, 0},
                       {"Big", ftLargeint, 0}, {"Money", ftCurrency, 0}, {"W", ftWord, 0}};
        FieldDefs().Clear();
        int offset = 2;
        for (const auto& c : columns) {
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
        const char* names[] = {"Иванов", "", nullptr, "abc"};
        for (int r = 0; r < 4; ++r) {
            char* rec = NewRecord();
            rec[0] = char(r == 2 ? 0x01 : 0xFF);  // row 2: only Id has a value
            rec[1] = char(r == 2 ? 0x00 : 0x01);
            auto put = [&](int k, auto v) {
                std::memcpy(rec + FMemFieldDefs[size_t(k)].Offset, &v, sizeof v);
            };
            put(0, int32_t(r));
            if (names[r] && *names[r]) {
                const QByteArray b = toCp1251(QString::fromUtf8(names[r]));
                put(1, Blocks().Create(b.constData(), int32_t(b.size())));
            }
            put(2, int16_t(r - 1));
            put(3, 2.5 * r);
            put(4, (693594.0 + 45000 + r) * 86400000.0);
            put(5, int16_t(r & 1));
            put(6, int64_t(1) << (20 * r));
            put(7, 1.25 * r);
            put(8, uint16_t(65535 - r));
            AppendRecord(rec);
        }
        TZMemTable::InternalOpen();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        setMessageHandler([](const MessageRequest&) { return MsgResult::Ok; });
        return true;
    }();
    (void)quiet;
    const QString text =
        fromCp1251(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    SmallTable table;
    table.Open();
    table.SetFiltered(true);
    try {
        table.SetFilter(text);
    } catch (...) {
        std::abort();  // a bad text must never raise
    }
    if (!table.Parser().HasTree() && !text.trimmed().isEmpty() && table.RecordCount() != 0)
        std::abort();  // no tree accepts no record
    const int count = table.RecordCount();
    int walked = 0;
    for (table.First(); !table.Eof(); table.Next())
        ++walked;
    if (walked != count)
        std::abort();
    return 0;
}
