// Barcode symbologies as bar widths: Code 39 (wide bars three modules), Code 128 with automatic
// choice of the A, B and C subsets, EAN-13 with its check digit. The result alternates bar and
// space widths in modules, starting with a bar; quiet zones are the caller's.
// Thread contract: pure functions over constant tables; safe anywhere.
#pragma once

#include "reportengine/model/ModelTypes.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace reportengine {

struct BarcodeBars {
    std::vector<uint8_t> Widths;  // bar, space, bar ... in modules
    QString Text;                 // the human-readable line (EAN-13 with its check digit)
    std::vector<int> Symbols;     // Code 128 symbol values, start and check included
    int Modules() const;
};

// False (with a reason) when the text cannot be encoded in the symbology.
bool EncodeBarcode(TfrxBarcodeType type, const QString& text, bool checkSum, BarcodeBars& out,
                   QString* error = nullptr);

bool EncodeCode39(const QString& text, bool checkSum, BarcodeBars& out, QString* error = nullptr);
bool EncodeCode128(const QString& text, BarcodeBars& out, QString* error = nullptr);
// 12 digits get their check digit; 13 digits must carry the right one.
bool EncodeEAN13(const QString& text, BarcodeBars& out, QString* error = nullptr);
int EAN13CheckDigit(const QString& twelveDigits);

// The Code 128 pattern of a symbol value (0..106) as six widths ("212222"); the stop is seven.
const char* Code128Pattern(int value);

}  // namespace reportengine
