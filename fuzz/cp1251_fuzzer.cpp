// Fuzz target for the Windows-1251 codec and the UTF-8 check: bytes survive decode and encode, and
// the UTF-8 check agrees with a decode-encode round trip through Qt's own decoder.
#include <cstdint>
#include <cstdlib>

#include "platform/Cp1251.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (platform::toCp1251(platform::fromCp1251(input)) != input)
        std::abort();
    const QString text = QString::fromUtf8(input);
    const bool roundTrips = text.toUtf8() == input;
    if (platform::isValidUtf8(input) != roundTrips)
        std::abort();
    const QByteArray narrow = platform::toCp1251(text);
    if (narrow.size() > text.size())
        std::abort();
    return 0;
}
