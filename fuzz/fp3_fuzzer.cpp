// Fuzz target for prepared-report files: any input either fails with an error, or gives pages
// that write to a file which reads back to the same pages (and the writer is stable on its own
// output). Inputs are tried both as they are and gzip-compressed, so the XML reader is reached
// without the fuzzer having to build valid deflate streams. The same bytes also go to the binary
// page decoder of the spill file, which must refuse or give a page that encodes stably.
#include <cstdint>
#include <cstdlib>

#include "reportengine/pages/Fp3File.h"
#include "reportengine/pages/PageCodec.h"
#include "reportengine/pages/PreparedPages.h"

namespace {

void roundTrip(const QByteArray& input) {
    reportengine::TfrxPreparedPages first;
    QString error;
    if (!reportengine::ReadFp3(
            input, [&](reportengine::PreparedPage&& p) { first.AddPage(std::move(p)); }, &error)) {
        if (error.isEmpty())
            std::abort();  // a refusal always says why
        return;
    }
    const QByteArray written = reportengine::WriteFp3(first);
    reportengine::TfrxPreparedPages second;
    if (!reportengine::ReadFp3(
            written, [&](reportengine::PreparedPage&& p) { second.AddPage(std::move(p)); }, &error))
        std::abort();
    if (second.Count() != first.Count())
        std::abort();
    for (int i = 0; i < first.Count(); ++i)
        if (!(*first.Page(i) == *second.Page(i)))
            std::abort();
    if (reportengine::WriteFp3(second) != written)
        std::abort();
}

void binaryPage(const QByteArray& input) {
    reportengine::PreparedPage page;
    if (!reportengine::DecodePage(input, page))
        return;
    // Compared as bytes: a decoded page may hold NaNs, which never equal themselves.
    const QByteArray encoded = reportengine::EncodePage(page);
    reportengine::PreparedPage again;
    if (!reportengine::DecodePage(encoded, again) || reportengine::EncodePage(again) != encoded)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    roundTrip(input);
    binaryPage(input);
    if (!input.startsWith("\x1f\x8b"))
        roundTrip(reportengine::GzipBytes(input));
    return 0;
}
