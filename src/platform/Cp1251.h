// Windows-1251, the single-byte Cyrillic code page of files written on Windows and of text on the
// data server's wire. The codec is table-driven and lossless for bytes: 0x98, which the code page
// leaves unassigned, decodes to U+0098 and encodes back, so any byte string survives a round trip.
// Thread contract: pure functions over constant tables; safe anywhere.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Characters without a Windows-1251 byte become '?' (one per character, also for a surrogate pair).
QByteArray toCp1251(const QString& text);
QString fromCp1251(const QByteArray& bytes);

// True when bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray& bytes);

}  // namespace platform
