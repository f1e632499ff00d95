// Prepared-report files (.fp3): the pages as XML, compressed with gzip (RFC 1952, as zlib writes
// it), so that any gzip tool opens one. Uncompressed XML is accepted on reading too.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <preparedreport version="1" pages="N">
//     <page width="210" height="297" left="10" top="10" right="10" bottom="10"
//           landscape="1" color="...">              (attributes equal to defaults omitted)
//       <text x y w h name tag fill frame.typ frame.width frame.color frame.style
//             font.name font.size font.style font.color halign valign rotation>
//         <ln x="" b="" w="">line text</ln> ...
//       </text>
//       <rect/> <line/> <shape shape=""/> <image keepaspect center>base64</image>
//       <checkbox checked checkstyle/> <barcode><bar x y w h/>...</barcode>
//       <gradient endcolor gradient/>
//     </page>
//   </preparedreport>
// Numbers are written in their shortest exact form, so a file read back gives identical pages.
// Reading rejects anything else (unknown elements or attributes, bad numbers, values out of
// range, truncated or corrupt compression) with an error naming the line where it can.
//
// Thread contract: pure functions; callable from any thread.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace reportengine {

class TfrxPreparedPages;

using PageSink = std::function<void(PreparedPage&&)>;

QByteArray WriteFp3(const TfrxPreparedPages& pages);
bool WriteFp3File(const QString& fileName, const TfrxPreparedPages& pages, QString* error);

// Calls sink for every page in order; false with *error set on bad input (pages already passed to
// the sink are then to be discarded by the caller).
bool ReadFp3(const QByteArray& bytes, const PageSink& sink, QString* error);
bool ReadFp3File(const QString& fileName, const PageSink& sink, QString* error);

// gzip helpers (also for tests). GunzipBytes refuses output beyond maxBytes.
QByteArray GzipBytes(const QByteArray& data);
bool GunzipBytes(const QByteArray& data, QByteArray& out, QString* error,
                 qint64 maxBytes = qint64(1) << 31);

}  // namespace reportengine
