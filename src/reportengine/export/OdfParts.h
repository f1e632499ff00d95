// What the two OpenDocument writers (spreadsheet and text) share: lengths in points, a frame side
// as an fo:border value, and the package manifest.
// Thread contract: pure functions.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace reportengine {

// "12.50pt" from 96-dpi pixels.
QString OdfPoints(double px);
// "0.75pt solid #000000", or "none" when the frame has no such side.
QString OdfBorder(const FrameSpec& frame, FrameSide side);
// META-INF/manifest.xml: the package of that media type with its XML parts and PNG pictures.
QByteArray OdfManifest(const QString& mimeType, const QStringList& xmlParts,
                       const std::vector<std::pair<QString, QByteArray>>& pictures);

}  // namespace reportengine
