// Fuzz target for report scripts: the tokenizer over the raw text, then the parser and the binder
// with the standard library. Any input must end in a parsed program or an EScriptError; nothing
// runs, so the fuzzer needs no limits on loops.
#include <cstddef>
#include <cstdint>

#include "reportengine/script/Lexer.h"
#include "reportengine/script/Parser.h"
#include "reportengine/script/Script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    // The pure scanner must make progress on any text.
    QStringView rest(text);
    while (!rest.isEmpty()) {
        const script::ScannedToken t = script::ScanToken(rest);
        if (t.Length <= 0 || t.Length > rest.size())
            __builtin_trap();
        rest = rest.mid(t.Length);
    }
    try {
        script::Script compiled;
        compiled.Compile(text);
    } catch (const script::EScriptError&) {
    }
    try {
        script::Parser(text).ParseExpression();
    } catch (const script::EScriptError&) {
    }
    return 0;
}
