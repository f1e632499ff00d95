// Fuzz target for the texts of template text objects: splitting into literals and [expressions]
// with format suffixes, finding aggregate calls, and formatting values with any format string.
// Everything must come back without a crash, with every found call inside its expression.
#include <cstdint>
#include <cstdlib>

#include "reportengine/engine/ExpressionText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const reportengine::TextPart& part : reportengine::SplitExpressionText(text)) {
        if (!part.IsExpression)
            continue;
        const auto calls = reportengine::FindAggregateCalls(
            part.Text, [](const QString& name) { return name.startsWith(u'M'); });
        for (const auto& call : calls)
            if (call.Start < 0 || call.Length <= 0 || call.Start + call.Length > part.Text.size())
                std::abort();
        for (const auto& value : {platform::Variant(1234.5), platform::Variant(QStringLiteral("7")),
                                  platform::Variant(true), platform::Variant::FromDateTime(46000.25)}) {
            reportengine::ValueFormat format = part.Format;
            (void)reportengine::FormatValue(value, format);
            format.FormatStr = part.Text;
            for (auto kind : {reportengine::fkNumeric, reportengine::fkDateTime, reportengine::fkBoolean}) {
                format.Kind = kind;
                (void)reportengine::FormatValue(value, format);
            }
        }
    }
    return 0;
}
