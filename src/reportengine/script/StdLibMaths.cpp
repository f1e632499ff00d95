// Maths functions of report scripts beyond the basic ones in StdLib.cpp: powers, bounds, rounding
// toward infinity, random numbers.
#include "reportengine/script/Library.h"
#include "reportengine/script/StdLibParts.h"
#include "reportengine/script/VarOps.h"

#include <QDateTime>
#include <cmath>
#include <random>

namespace script::stdlib {

using platform::Variant;

namespace {

// Each thread has its own sequence; it starts from the same seed until Randomize, so a script
// without Randomize repeats its numbers.
std::mt19937_64& Generator() {
    thread_local std::mt19937_64 generator(0);
    return generator;
}

[[noreturn]] void InvalidFloat() {
    throw EScriptRuntime(QStringLiteral("Недопустимая операция с плавающей точкой"));
}

double Checked(double result) {
    if (!std::isfinite(result))
        InvalidFloat();
    return result;
}

const Entry Entries[] = {
    {"function Random(Range: Variant = nil): Variant", Math,
     "Случайное число: без параметра - от 0 до 1, иначе целое от 0 до Range - 1",
     [](Script&, Args& a) {
         if (a[0].IsNullOrEmpty())
             return Variant(std::generate_canonical<double, 53>(Generator()));
         const int64_t range = a[0].ToInt64();
         if (range == 0)
             return Variant(int64_t(0));
         std::uniform_int_distribution<int64_t> pick(0, std::abs(range) - 1);
         const int64_t v = pick(Generator());
         return Variant(range > 0 ? v : -v);
     }},
    {"procedure Randomize", Math, "Новая последовательность случайных чисел",
     [](Script&, Args&) {
         Generator().seed(uint64_t(QDateTime::currentMSecsSinceEpoch()) ^ std::random_device{}());
         return Variant();
     }},
    {"function Max(A, B: Variant): Variant", Math, "Большее из двух чисел",
     [](Script&, Args& a) { return VarCompare(a[0], a[1]) >= 0 ? a[0] : a[1]; }},
    {"function Min(A, B: Variant): Variant", Math, "Меньшее из двух чисел",
     [](Script&, Args& a) { return VarCompare(a[0], a[1]) <= 0 ? a[0] : a[1]; }},
    {"function Power(Base, Exponent: Extended): Extended", Math, "Степень числа",
     [](Script&, Args& a) { return Variant(Checked(std::pow(a[0].ToDouble(), a[1].ToDouble()))); }},
    {"function Sqr(X: Variant): Variant", Math, "Квадрат числа",
     [](Script&, Args& a) { return BinaryOp(Tok::Star, a[0], a[0]); }},
    {"function Odd(X: Int64): Boolean", Math, "Число нечётное",
     [](Script&, Args& a) { return Variant(a[0].ToInt64() % 2 != 0); }},
    {"function Ceil(X: Extended): Int64", Math, "Наименьшее целое, не меньшее числа",
     [](Script&, Args& a) { return Variant(FloatToInt64(std::ceil(a[0].ToDouble()))); }},
    {"function Floor(X: Extended): Int64", Math, "Наибольшее целое, не большее числа",
     [](Script&, Args& a) { return Variant(FloatToInt64(std::floor(a[0].ToDouble()))); }},
    {"function Tan(X: Extended): Extended", Math, "Тангенс",
     [](Script&, Args& a) { return Variant(Checked(std::tan(a[0].ToDouble()))); }},
};

}  // namespace

int64_t FloatToInt64(double value) {
    if (std::isnan(value))
        InvalidFloat();
    // 2^63 is the first double past the Int64 range.
    if (value >= 9223372036854775808.0 || value < -9223372036854775808.0)
        throw EScriptRuntime(QStringLiteral("Целочисленное переполнение"));
    return int64_t(value);
}

void AddMathFunctions(FunctionLibrary& library) {
    Register(library, Entries);
}

}  // namespace script::stdlib
