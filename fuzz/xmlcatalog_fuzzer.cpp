// Fuzzes the catalog file reader: any bytes may sit in "Reports.XML". The document is parsed,
// walked the way the catalog frame builds its tree and finds folders and reports, edited the way
// the catalog editor appends, renames and removes, and serialised. An untouched document must
// serialise, parse again and be stable under a second round trip (the program rewrites the
// whole file after every change); an edited one must parse again unless the wrapper refused to
// serialise it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "platform/XmlDocument.h"

namespace {

using platform::XmlDocument;
using platform::XmlElement;

// Mirrors the tree build: every element, its "Name" found by walking the attributes.
int walk(const XmlElement& element, int level) {
    int nodes = 1;
    for (const auto& [name, value] : element.attributes())
        if (name == QLatin1String("Name"))
            (void)value.size();
    for (const XmlElement& child : element.childElements()) {
        if (child.parentElement() != element)
            abort();
        nodes += walk(child, level + 1);
    }
    return nodes;
}

// Empty means the document refused to serialise (and save() would refuse to write); anything
// else must parse.
void reparseOrDie(const QByteArray& bytes) {
    XmlDocument again;
    if (!bytes.isEmpty() && !again.loadFromBytes(bytes, QStringLiteral("again.xml")))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    XmlDocument doc;
    if (!doc.loadFromBytes(bytes, QStringLiteral("Reports.XML"))) {
        const platform::XmlParseError& error = doc.parseError();
        if (error.errorCode == 0 || !doc.documentElement().isNull())
            abort();
        return 0;
    }
    XmlElement root = doc.documentElement();
    if (root.isNull())
        abort();
    walk(root, 0);

    const QByteArray first = doc.toBytes();
    if (first.isEmpty())  // an untouched document always serialises
        abort();
    reparseOrDie(first);
    XmlDocument second;
    second.loadFromBytes(first, QStringLiteral("second.xml"));
    if (second.toBytes() != first)
        abort();

    // Catalog look-ups and edits.
    for (const XmlElement& report : root.elementsByTagName(QStringLiteral("Pattern")))
        (void)report.attribute(QStringLiteral("Name"));
    QList<XmlElement> folders = root.childElements();
    XmlElement folder = doc.createElement(QStringLiteral("Groups"));
    folder.setAttribute(QStringLiteral("Name"), QString::fromUtf8("Папка ✓ \x01"));
    root.appendChild(folder);
    XmlElement report = doc.createElement(QStringLiteral("Pattern"));
    report.setAttribute(QStringLiteral("Name"), QStringLiteral("r"));
    (folders.isEmpty() ? folder : folders.first()).appendChild(report);
    if (!folders.isEmpty()) {
        folders.last().setAttribute(QStringLiteral("Name"), QStringLiteral("renamed"));
        root.removeChild(folders.last());
    }
    reparseOrDie(doc.toBytes());
    return 0;
}
