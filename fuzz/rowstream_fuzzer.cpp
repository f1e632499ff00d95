// Feeds an arbitrary result header (reply kind 133) and row stream (kind-134 payloads cut at
// arbitrary places) into an in-memory table, opens it and reads every value: a hostile server
// may make the header refused, never make the client read outside a buffer, loop, or allocate
// without bound. Input: uint16 header length, the header, then parts each led by a length byte.
#include "dataclient/UZRowDecoder.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace dataclient;

class FuzzTable : public TZMemTable {
public:
    FuzzTable(const uint8_t* data, size_t size)
        : FData(data), FSize(size), FDecoder(*this, FDataSize) {}
    ~FuzzTable() override { FDecoder.Abandon(); }

protected:
    void InternalOpen() override {
        if (FSize < 2)
            return;
        size_t head = std::min<size_t>(FData[0] | FData[1] << 8, FSize - 2);
        FDecoder.DecodeHeader(FData + 2, head, true);
        for (size_t at = 2 + head; at < FSize;) {
            const size_t part = std::min<size_t>(FData[at], FSize - at - 1);
            FDecoder.DecodeRows(FData + at + 1, part);
            at += 1 + part;
        }
        FDecoder.Finish();
        TZMemTable::InternalOpen();
    }

private:
    const uint8_t* FData;
    size_t FSize;
    TZRowDecoder FDecoder;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzTable table(data, size);
    // Refusals are exceptions of the library's own kind: a header it does not take, a value that
    // does not convert. Anything else escapes and is a finding.
    try {
        table.Open();
        if (!table.Active())
            return 0;
        for (table.First(); !table.Eof(); table.Next())
            for (platform::TField* f : table.Fields())
                (void)f->AsString();
    } catch (const platform::Exception&) {
    }
    return 0;
}
