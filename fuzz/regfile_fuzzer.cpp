// Fuzz target for the hive text form: any input either fails to parse with an error, or parses to
// a tree that the writer turns into a file which parses back to the same tree (and the writer is
// stable on its own output).
#include <cstdint>
#include <cstdlib>

#include "platform/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const platform::RegParseResult first = platform::parseRegFile(input);
    if (!first.ok())
        return 0;
    const QByteArray written = platform::serializeRegFile(first.tree);
    const platform::RegParseResult second = platform::parseRegFile(written);
    if (!second.ok() || !(second.tree == first.tree))
        std::abort();
    if (platform::serializeRegFile(second.tree) != written)
        std::abort();
    return 0;
}
