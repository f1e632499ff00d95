// Fuzz target for template files: any bytes either fail with a template error or give a report
// whose canonical form reads back to the same bytes (so the writer is stable on what the reader
// accepts).
#include <cstdint>
#include <cstdlib>

#include "reportengine/io/TemplateFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray first;
    try {
        reportengine::TfrxReport report;
        reportengine::ReadTemplate(report, input, QStringLiteral("fuzz.fr3"));
        first = reportengine::WriteTemplate(report);
    } catch (const reportengine::EReportFileError& e) {
        if (e.Message().isEmpty())
            std::abort();  // a refusal always says why
        return 0;
    }
    reportengine::TfrxReport again;
    reportengine::ReadTemplate(again, first, QStringLiteral("again.fr3"));  // must not throw
    if (reportengine::WriteTemplate(again) != first)
        std::abort();
    return 0;
}
