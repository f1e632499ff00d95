// Fuzz target for the INI reader: an unedited file must be written back byte for byte, every
// look-up must hold up, and an edit must read back as written after a write and re-read.
#include <cstdint>
#include <cstdlib>

#include "platform/IniDocument.h"

using platform::IniDocument;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    IniDocument doc = IniDocument::parse(input);
    if (doc.serialize() != input)
        std::abort();

    const QStringList sections = doc.sections();
    for (const QString& section : sections) {
        if (!doc.sectionExists(section))
            std::abort();
        for (const QString& key : doc.keys(section)) {
            if (!doc.value(section, key, nullptr))
                std::abort();
        }
    }

    // Edits with names taken from the file itself, so they hit existing lines too.
    const QString section = sections.isEmpty() ? QStringLiteral("New") : sections.first();
    const QStringList keys = doc.keys(section);
    const QString key = keys.isEmpty() ? QStringLiteral("Key") : keys.last();
    // (A Windows-1251 file whose last non-UTF-8 byte was edited away reads as UTF-8 afterwards;
    // the names then decode differently, which is the nature of guessing, not a fault.)
    if (doc.setValue(section, key, QStringLiteral("v1"))) {
        const IniDocument again = IniDocument::parse(doc.serialize());
        QString value;
        if (again.encoding() == doc.encoding() &&
            (!again.value(section, key, &value) || value != QStringLiteral("v1")))
            std::abort();
    }
    if (doc.setValue(QStringLiteral("Fuzz"), QStringLiteral("Added"), QStringLiteral("2"))) {
        QString value;
        if (!IniDocument::parse(doc.serialize())
                 .value(QStringLiteral("fuzz"), QStringLiteral("ADDED"), &value) ||
            value != QStringLiteral("2"))
            std::abort();
    }
    doc.removeKey(section, key);
    if (doc.value(section, key, nullptr))
        std::abort();
    doc.removeSection(section);
    const IniDocument after = IniDocument::parse(doc.serialize());
    if (after.encoding() == doc.encoding() && after.sectionExists(section))
        std::abort();
    return 0;
}
