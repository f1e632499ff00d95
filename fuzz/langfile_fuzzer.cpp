// Language files are edited by hand and shipped beside the program: any bytes must parse into
// some contents without a crash.
#include <cstddef>
#include <cstdint>

#include "platform/LangDispatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto contents = platform::parseLangFile(bytes);
    for (auto it = contents.texts.cbegin(); it != contents.texts.cend(); ++it)
        (void)it.value().value(1);
    return 0;
}
