// Operators of the script language over platform::Variant: arithmetic with the integer widening
// rules, comparisons, logical and bitwise operators, and the NULL propagation of database values.
// Failures throw platform exceptions (EVariantError, EConvertError) or EScriptRuntime below; the
// interpreter adds the place.
// Thread contract: pure functions; safe anywhere.
#pragma once

#include "platform/Variant.h"
#include "reportengine/script/Lexer.h"

namespace script {

// A run-time fault that has no place yet ("Деление на ноль"); the interpreter gives it one.
class EScriptRuntime : public platform::Exception {
    using platform::Exception::Exception;
};

// The declared type of a variable; assignment converts to it, so that "s := 5" stores '5' in a
// String and "i := 2.6" stores 3 in an Integer, as typed code expects.
enum class TypeKind { Variant, Integer, Int64, Double, Currency, String, Boolean, Date, Array };

// The kind of a type name ("Integer", "TDateTime", "string"...); false for names it does not know.
bool TypeKindByName(const QString& name, TypeKind& kind);
platform::Variant DefaultValue(TypeKind kind);
platform::Variant Coerce(const platform::Variant& value, TypeKind kind);

platform::Variant BinaryOp(Tok op, const platform::Variant& a, const platform::Variant& b);
platform::Variant UnaryOp(Tok op, const platform::Variant& a);
// Pascal '=' with NULL: true only when both are NULL (or unassigned).
bool VarEquals(const platform::Variant& a, const platform::Variant& b);
// <0, 0, >0; NULL orders before everything. Throws when the types cannot be compared.
int VarCompare(const platform::Variant& a, const platform::Variant& b);
// The truth of a condition; NULL is an error, as in the platform.
inline bool VarTruth(const platform::Variant& v) {
    return v.ToBool();
}

}  // namespace script
