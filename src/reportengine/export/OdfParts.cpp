#include "reportengine/export/OdfParts.h"

#include "reportengine/export/ExportGrid.h"

#include <QXmlStreamWriter>

#include <algorithm>

namespace reportengine {

QString OdfPoints(double px) {
    return QString::number(PxToPt(px), 'f', 2) + QStringLiteral("pt");
}

QString OdfBorder(const FrameSpec& frame, FrameSide side) {
    return FrameBorderText(frame, side, OdfPoints(std::max(frame.Width, 1.0)));
}

QByteArray OdfManifest(const QString& mimeType, const QStringList& xmlParts,
                       const std::vector<std::pair<QString, QByteArray>>& pictures) {
    const QString ns = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(ns, QStringLiteral("manifest"));
    w.writeStartElement(ns, QStringLiteral("manifest"));
    w.writeAttribute(ns, QStringLiteral("version"), QStringLiteral("1.2"));
    auto entry = [&](const QString& path, const QString& type) {
        w.writeEmptyElement(ns, QStringLiteral("file-entry"));
        w.writeAttribute(ns, QStringLiteral("full-path"), path);
        if (path == u"/")
            w.writeAttribute(ns, QStringLiteral("version"), QStringLiteral("1.2"));
        w.writeAttribute(ns, QStringLiteral("media-type"), type);
    };
    entry(QStringLiteral("/"), mimeType);
    for (const QString& part : xmlParts)
        entry(part, QStringLiteral("text/xml"));
    for (const auto& picture : pictures)
        entry(picture.first, QStringLiteral("image/png"));
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

}  // namespace reportengine
