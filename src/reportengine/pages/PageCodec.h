// The compact binary form of one prepared page, used for pages spilled to disk by
// TfrxPreparedPages. Little-endian; unsigned LEB128 varints for counts, lengths and small
// enumerations; doubles as 8 raw bytes (so a page comes back bit-identical); strings as a varint
// byte length followed by UTF-8. Layout of a page:
//   u8 version (1) | 6 doubles: paper w, h, margins l t r b | u8 landscape | i32 colour |
//   varint item count | items
// and of an item:
//   u8 kind | varint field mask | the fields whose bit is set, in the order of the field list in
//   PageCodec.cpp (bit i = field i; a field equal to a default PreparedItem's is left out):
//   doubles as 8 bytes, colours i32, rotation i16, enumerations, bools and small sets u8,
//   strings and picture bytes as above, lines as varint count + (str, 4 doubles), bars as varint
//   count + 4 doubles. A mask bit beyond the known fields is refused.
// DecodePage never trusts a length: every read is checked against the bytes left.
// Thread contract: pure functions, callable from any thread.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QByteArray>
#include <QByteArrayView>

namespace reportengine {

QByteArray EncodePage(const PreparedPage& page);

// False (and `page` unspecified) when the bytes are short, malformed or have trailing garbage.
bool DecodePage(QByteArrayView bytes, PreparedPage& page);

}  // namespace reportengine
