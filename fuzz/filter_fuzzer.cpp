// Fuzz target for filter texts: SetFilter on a small in-memory table (every column type the
// filter reads, nulls and present-empty strings), then evaluation over every record through the
// filtered count and a walk. Parse errors must be swallowed by SetFilter; evaluation errors must
// reach the application's handler (answered here) and never escape.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dataclient/UZFilterParser.h"
#include "dataclient/UZMemTableBuilder.h"
#include "platform/MessageBox.h"

namespace {

using namespace platform;
using namespace dataclient;

// Row 1 has a present empty name; row 2 only its Id.
class SmallTable : public FilledMemTable {
public:
    SmallTable()
        : FilledMemTable({{"Id", ftInteger},
                          {"Name", ftString, 10},
                          {"Status", ftSmallint},
                          {"Price", ftFloat},
                          {"Day", ftDateTime},
                          {"Flag", ftBoolean},
                          {"Big", ftLargeint},
                          {"Money", ftCurrency},
                          {"W", ftWord}}) {
        const char* names[] = {"Иванов", "", nullptr, "abc"};
        for (int r = 0; r < 4; ++r) {
            if (r == 2) {
                addRow({r});
                continue;
            }
            addRow({r, names[r], r - 1, 2.5 * r, Variant::FromDateTime(45000 + r), bool(r & 1),
                    int64_t(1) << (20 * r), Variant::FromCurrency(1.25 * r), uint16_t(65535 - r)});
        }
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
