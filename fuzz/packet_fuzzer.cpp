// Feeds arbitrary bytes, as a server would send them, to the packet reader through an in-memory
// connection: every packet must either be refused with one of the reader's texts or come out
// validated, and nothing may read outside its buffer or allocate without bound.
#include "dataclient/UZPacket.h"
#include "dataclient/UZarinMemoryConnection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dataclient;
    TZarinMemoryConnection connection(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    // A stream may hold several packets; stop at the first refusal as a link would.
    for (int i = 0; i < 64; ++i) {
        ReadOutcome out = readPacket(connection);
        if (!out.packet) {
            if (out.error.isEmpty() && out.fault != ReadFault::Connection)
                std::abort();
            break;
        }
        const Packet& p = *out.packet;
        if (p.Length() != p.Size() || p.Key() != 0 || p.Checksum() != 0 ||
            p.Size() > wire::kMaxPacketLength)
            std::abort();
        if (p.Kind() < 0)
            (void)ServerErrorText(std::move(out.packet));
    }
    return 0;
}
