// Stored pass codes: the suite keeps each card, key or password code of a person escaped (five
// bytes that its storage cannot hold are written as 0xFE + a code byte) and transformed (a leading
// byte, then either the plain bytes or a running sum of them, chosen by bit 0x40 of the mark's
// Config). Decoding turns a stored code into what the operator types; encoding is its inverse,
// used to build demo and test databases.
// Thread contract: pure functions; safe anywhere. Callers that handle real codes clear their
// buffers after use (SecureClear), since these are secrets.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace session {

// Config bit that selects the difference form; clear means the plain form.
inline constexpr int PassCodeDifferenceForm = 0x40;
// Longest stored code, in bytes, the decoder looks at; longer codes are cut by the caller.
inline constexpr int MaxPassCodeBytes = 255;

// Resolves the escapes; an 0xFE not followed by a code byte 1..5 is dropped. At most 255 bytes.
QByteArray UnescapePassCode(QByteArrayView code);
// Unescapes, then undoes the transform selected by config. Codes under two bytes give "".
QByteArray DecodePassCode(QByteArrayView code, int config);
// The same on text in the program's 8-bit code page (Windows-1251), as the database delivers it.
QString DecodePassCodeText(const QString& code, int config);

// The inverse of DecodePassCode for building databases: leadingByte starts the stored code and,
// in the difference form, the running sum. Returns the escaped bytes.
QByteArray EncodePassCode(QByteArrayView plain, int config, unsigned char leadingByte);
QByteArray EscapePassCode(QByteArrayView raw);

// Overwrites the bytes before they are released, so a secret does not linger in freed memory.
void SecureClear(QByteArray& bytes);
void SecureClear(QString& text);

}  // namespace session
