// Fuzz target for stored pass codes: any byte string decodes in both forms within the length
// limit, and encoding what was decoded gives back a code that decodes to the same text.
#include <cstdint>
#include <cstdlib>

#include "session/PassCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray stored(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (int config : {0, session::PassCodeDifferenceForm}) {
        const QByteArray plain = session::DecodePassCode(stored, config);
        if (plain.size() >= session::MaxPassCodeBytes)
            std::abort();
        const unsigned char lead = size ? data[0] : 0;
        if (session::DecodePassCode(session::EncodePassCode(plain, config, lead), config) != plain)
            std::abort();
    }
    return 0;
}
