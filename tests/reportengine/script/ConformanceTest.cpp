// The conformance table of the script language: small programs and the exact lines they show, or
// the error they stop with. Each row is one rule of the language; comments explain the rows whose
// result is not obvious.
#include "TestEnv.h"
#include "platform/FormatSettings.h"
#include "reportengine/script/Script.h"

#include <gtest/gtest.h>

using namespace script;

namespace {

struct Row {
    const char* Name;
    const char* Program;
    const char* Output;  // ShowMessage lines joined by '|'
    const char* Error;   // a part of the error message; empty when the run must succeed
};

const Row Rows[] = {
    // Arithmetic and integer rules.
    {"precedence", "begin ShowMessage(1 + 2 * 3 - 4 div 2) end.", "5", ""},
    {"slash gives float", "begin ShowMessage(7 / 2); ShowMessage(6 / 3) end.", "3.5|2", ""},
    // div and mod truncate toward zero; the sign of mod follows the dividend.
    {"div mod signs",
     "begin ShowMessage(Format('%d %d %d %d', [-7 div 2, -7 mod 2, 7 div -2, 7 mod -2])) end.",
     "-3 -1 -3 1", ""},
    {"div by zero", "var z: Integer; begin ShowMessage(1 div z) end.", "", "Деление на ноль"},
    {"float div by zero", "begin ShowMessage(1 / 0) end.", "", "Деление на ноль"},
    // 32-bit results widen to Int64 instead of wrapping...
    {"integer widens", "var v: Variant; begin v := 2147483647; v := v + 1; ShowMessage(v) end.",
     "2147483648", ""},
    // ...but a typed Integer variable cannot hold the widened value.
    {"integer variable overflow", "var i: Integer; begin i := 2147483647; i := i + 1 end.", "",
     "Integer"},
    {"int64 overflow", "var v: Int64; begin v := 9223372036854775807; v := v + 1 end.", "",
     "Целочисленное переполнение"},
    // The same limits hold for every operator and for values read from variables.
    {"integer boundary in + - *",
     "var i: Integer; v: Variant; begin i := -2147483647; i := i - 1; ShowMessage(i); v := i; "
     "v := v - 1; ShowMessage(v); v := 65536; v := v * 32768; ShowMessage(v); i := 46341; "
     "v := i * i; ShowMessage(v) end.",
     "-2147483648|-2147483649|2147483648|2147488281", ""},
    {"integer variable overflow in minus",
     "var i: Integer; begin i := -2147483648; i := i - 1 end.", "", "Integer"},
    {"integer variable overflow in times", "var i: Integer; begin i := 65536; i := i * 32768 end.",
     "", "Integer"},
    {"int64 overflow in minus and times",
     "var v, w: Int64; begin v := -9223372036854775807; w := v - 1; ShowMessage(w); "
     "v := 4611686018427387904; v := v * 2 end.",
     "-9223372036854775808", "Целочисленное переполнение"},
    {"div mod signs of variables",
     "var a, b, q, r: Integer; begin a := -7; b := 2; q := a div b; r := a mod b; "
     "ShowMessage(Format('%d %d', [q, r])); a := 7; b := -2; q := a div b; r := a mod b; "
     "ShowMessage(Format('%d %d', [q, r])); b := -1; ShowMessage(a div b) end.",
     "-3 -1|-3 1|-7", ""},
    {"int64 minimum div -1",
     "var a, b: Int64; begin a := -9223372036854775807 - 1; b := -1; ShowMessage(a mod b); "
     "a := a div b end.",
     "0", "Целочисленное переполнение"},
    // Int64 in an operation makes the result Int64 (its shift is 64-bit), Double makes it Double.
    {"mixed Integer Int64 Double",
     "var i: Integer; w: Int64; d: Double; v: Variant; begin i := 2; w := 3; d := 0.5; "
     "v := i + w; ShowMessage(v shl 32); v := i + i; ShowMessage(v shl 32); ShowMessage(i + d); "
     "ShowMessage(w * d); ShowMessage(w div i); if w > i then ShowMessage(i < d) end.",
     "21474836480|4|2.5|1.5|1|False", ""},
    // A loop may run up to the last Int64; its variable stops there instead of wrapping.
    {"for at the Int64 limits",
     "var i, n: Int64; begin for i := 9223372036854775805 to 9223372036854775807 do n := n + 1; "
     "for i := -9223372036854775807 + 1 downto -9223372036854775807 - 1 do n := n + 1; "
     "ShowMessage(n) end.",
     "6", ""},
    {"for past the Integer range",
     "var i, n: Integer; begin for i := 2147483646 to 2147483648 do begin n := n + 1; "
     "ShowMessage(n) end end.",
     "1|2", "Integer"},
    {"shl is 32-bit on Integer", "begin ShowMessage(1 shl 31); ShowMessage(1 shl 32) end.",
     "-2147483648|1", ""},
    {"bitwise on integers", "begin ShowMessage((6 and 3) + (6 or 1) + (6 xor 2) + not 0) end.",
     "12", ""},
    {"hex literal", "begin ShowMessage($FF + $10) end.", "271", ""},
    {"round halves to even",
     "begin ShowMessage(Format('%d %d %d', [Round(2.5), Round(3.5), Round(-2.5)])) end.", "2 4 -2",
     ""},
    // Strings.
    {"index from 1", "var s: String; begin s := 'abc'; ShowMessage(s[1] + s[3]) end.", "ac", ""},
    {"index out of range", "var s: String; begin s := 'abc'; ShowMessage(s[4]) end.", "",
     "индекс 4 вне границ строки"},
    {"assign a character", "var s: String; begin s := 'abc'; s[2] := 'X'; ShowMessage(s) end.",
     "aXc", ""},
    {"literal forms", "begin ShowMessage('It''s' + #65 + #$42 + Chr(67) + IntToStr(Ord('a'))) end.",
     "It'sABC97", ""},
    {"string functions",
     "begin ShowMessage(UpperCase(Trim('  ab  ')) + LowerCase('CD') + Copy('hello', 2, 100) + "
     "IntToStr(Length('четыре')) + IntToStr(Pos('z', 'abc'))) end.",
     "ABcdello60", ""},
    {"copy past the end", "begin ShowMessage('[' + Copy('abc', 5, 2) + ']') end.", "[]", ""},
    // Appending to a text variable, also to itself and through a var parameter naming it; a
    // function on the right side that changes the text runs after the left side was read.
    {"string append aliasing",
     "var s, g: String; v: Variant; "
     "function F: String; begin s := 'changed'; Result := '!' end; "
     "procedure P(var t: String); begin t := t + g end; "
     "begin s := 'ab'; s := s + s; s := s + s; ShowMessage(s); v := 'x'; v := v + v + 'y'; "
     "ShowMessage(v); s := '2'; s := s + 3; ShowMessage(s); s := 'a'; s := s + F; ShowMessage(s); "
     "g := 'ab'; P(g); ShowMessage(g); s := ''; s := s + ''; ShowMessage('[' + s + ']') end.",
     "abababab|xxy|5|a!|abab|[]", ""},
    // Hundreds of frames deep, a var parameter still reaches the outermost caller's variable,
    // and an error unwinding all of them leaves the next calls sound.
    {"deep recursion with var parameters",
     "procedure Walk(depth: Integer; var acc: Integer); var a, b, c, d, e, f, g, h: String; "
     "begin a := 'x'; h := a + a; acc := acc + Length(h) - 1; if depth > 0 then "
     "Walk(depth - 1, acc) else raise 'bottom' end; "
     "procedure Outer; var mine: Integer; begin try Walk(400, mine) except "
     "ShowMessage(ExceptionMessage) end; ShowMessage(mine) end; "
     "begin Outer; Outer end.",
     "bottom|401|bottom|401", ""},
    {"string compare is ordinal", "begin ShowMessage(('a' < 'b') and ('B' < 'a')) end.", "True",
     ""},
    {"string plus number is numeric", "begin ShowMessage('2' + 3) end.", "5", ""},
    {"format", "begin ShowMessage(Format('%5d|%-4s|%.2f|%x|%%', [42, 'ab', 3.14159, 255])) end.",
     "   42|ab  |3.14|FF|%", ""},
    // A width no page could hold is a bad format, not a request for gigabytes.
    {"format width is bounded", "begin ShowMessage(Format('%999999999d', [1])) end.", "",
     "Неверный формат"},
    // Logic. "and" and "or" short-circuit on a Boolean left side, so the right side may guard.
    {"short circuit",
     "var z: Integer; begin if (z <> 0) and (10 div z > 1) then ShowMessage('no') "
     "else ShowMessage('guarded') end.",
     "guarded", ""},
    {"comparison needs parentheses", "var a: Integer; begin a := 2; ShowMessage(a > 1 and 3) end.",
     "True", ""},
    {"in with set", "begin ShowMessage((4 in [1, 3..5]) and not (6 in [1, 3..5])) end.", "True",
     ""},
    {"iif takes one branch", "var z: Integer; begin ShowMessage(IIF(z = 0, 'zero', 10 div z)) end.",
     "zero", ""},
    // case with strings and ranges.
    {"case strings",
     "var s: String; begin s := 'b'; case s of 'a': ShowMessage('A'); 'b', 'c': ShowMessage('BC') "
     "else ShowMessage('other') end end.",
     "BC", ""},
    {"case ranges and else",
     "var i: Integer; begin for i := 0 to 3 do case i of 1..2: ShowMessage('in'); else "
     "ShowMessage(i) end end.",
     "0|in|in|3", ""},
    // Loops.
    {"for downto and break continue",
     "var i, s: Integer; begin for i := 10 downto 1 do begin if i = 8 then continue; if i = 5 "
     "then break; s := s + i end; ShowMessage(s) end.",
     "32", ""},
    {"for bounds taken once",
     "var i, n, c: Integer; begin n := 3; for i := 1 to n do begin n := 10; c := c + 1 end; "
     "ShowMessage(c) end.",
     "3", ""},
    {"while and repeat",
     "var i: Integer; begin while i < 5 do Inc(i, 2); repeat Dec(i) until i < 3; ShowMessage(i) "
     "end.",
     "2", ""},
    // Routines.
    {"var parameters",
     "procedure Swap(var a, b: Integer); var t: Integer; begin t := a; a := b; b := t end; "
     "var x, y: Integer; begin x := 1; y := 2; Swap(x, y); ShowMessage(Format('%d %d', [x, y])) "
     "end.",
     "2 1", ""},
    {"value parameters are copies",
     "procedure P(a: Integer); begin a := 5 end; var x: Integer; begin x := 1; P(x); "
     "ShowMessage(x) end.",
     "1", ""},
    {"recursion and function name as result",
     "function F(n: Integer): Int64; begin if n < 2 then F := 1 else F := n * F(n - 1) end; "
     "begin ShowMessage(F(20)) end.",
     "2432902008176640000", ""},
    {"nested routine sees outer locals",
     "function Outer(x: Integer): Integer; var k: Integer; procedure Bump; begin k := k + x end; "
     "begin k := 1; Bump; Bump; Result := k end; begin ShowMessage(Outer(5)) end.",
     "11", ""},
    {"default parameter",
     "function Twice(x: Integer = 21): Integer; begin Result := x * 2 end; "
     "begin ShowMessage(Twice + Twice(1)) end.",
     "44", ""},
    {"exit with value",
     "function F: Integer; begin Exit(7); Result := 1 end; begin ShowMessage(F) end.", "7", ""},
    // Exceptions: finally runs on exit, on break and on errors.
    {"try finally with exit",
     "procedure P; begin try Exit; finally ShowMessage('finally') end; ShowMessage('after') end; "
     "begin P; ShowMessage('done') end.",
     "finally|done", ""},
    {"try except message",
     "begin try RaiseException('boom') except ShowMessage('caught ' + ExceptionMessage) end end.",
     "caught boom", ""},
    {"raise exception create",
     "begin try raise Exception.Create('bad') except ShowMessage(ExceptionMessage) end end.", "bad",
     ""},
    {"finally then error goes on",
     "begin try try StrToInt('x') finally ShowMessage('cleanup') end except ShowMessage('outer') "
     "end end.",
     "cleanup|outer", ""},
    {"uncaught raise", "begin raise Exception.Create('stop here') end.", "", "stop here"},
    // NULL propagation.
    {"null propagates",
     "var v: Variant; begin v := Null; ShowMessage(VarIsNull(v + 1)); ShowMessage(VarIsNull(v * "
     "2)); ShowMessage(VarToStr(v) + '|') end.",
     "True|True||", ""},
    // Null is equal only to Null, and neither smaller nor greater than anything.
    {"null comparisons",
     "var v: Variant; begin v := Null; ShowMessage(Format('%s %s %s %s', [v = Null, v = 0, v < 1, "
     "v > 1])) end.",
     "True False False False", ""},
    {"null condition fails", "var v: Variant; begin v := Null; if v then ShowMessage('x') end.", "",
     "Null"},
    // Dates move by days; the difference of two dates is days.
    {"date arithmetic",
     "var d: TDateTime; begin d := EncodeDate(2024, 2, 28) + 2; ShowMessage(FormatDateTime("
     "'yyyy-mm-dd', d)); ShowMessage(d - EncodeDate(2024, 1, 1)) end.",
     "2024-03-01|60", ""},
    {"time of day",
     "begin ShowMessage(FormatDateTime('dd/mm/yy hh:nn:ss', EncodeDate(2001, 2, 3) + 0.75)) end.",
     "03.02.01 18:00:00", ""},
    {"decode date through var parameters",
     "var y, m, d: Word; begin DecodeDate(EncodeDate(2024, 2, 29), y, m, d); "
     "ShowMessage(Format('%d %d %d %d %s', [y, m, d, DayOfWeek(EncodeDate(2024, 2, 29)), "
     "IsLeapYear(1900)])) end.",
     "2024 2 29 5 False", ""},
    {"string editing",
     "var s: String; begin s := 'abcdef'; Delete(s, 2, 3); Insert('XY', s, 2); "
     "ShowMessage(s + ' ' + StringReplace('aAa', 'a', '-', [rfReplaceAll, rfIgnoreCase]) + ' ' + "
     "QuotedStr('it''s') + ' ' + IntToStr(CompareText('ABC', 'abc'))) end.",
     "aXYef --- 'it''s' 0", ""},
    {"maths",
     "begin ShowMessage(Format('%.1f %.1f %.0f %s', [Int(-2.7), Frac(2.75), Sqrt(16), "
     "ValidInt('12x')])) end.",
     "-2.0 0.8 4 False", ""},
    // Typed variables convert on assignment.
    {"typed assignment",
     "var s: String; i: Integer; d: Double; begin s := 5; i := 2.5; d := 1; ShowMessage(s + "
     "IntToStr(i)); ShowMessage(d / 4) end.",
     "52|0.25", ""},
    {"constants", "const N = 3; Title = 'n='; begin ShowMessage(Title + IntToStr(N * N)) end.",
     "n=9", ""},
    {"case-insensitive names", "VAR Abc: INTEGER; BEGIN abc := 1; SHOWMESSAGE(ABC) END.", "1", ""},
    // Errors found before running.
    {"unknown name", "begin ShowMessage(Nope) end.", "", "неизвестный идентификатор \"Nope\""},
    {"assign to constant", "const C = 1; begin C := 2 end.", "", "нельзя изменить константу"},
    {"too many arguments", "begin ShowMessage(1, 2) end.", "", "слишком много параметров"},
    {"var argument must be a variable", "begin Inc(1) end.", "", "ожидается переменная"},
    // Dialog buttons are set members; unattended, a dialog answers as Enter would.
    {"dialog constants",
     "begin if MessageDlg('Печатать?', mtConfirmation, [mbYes, mbNo], 0) = mrYes then "
     "ShowMessage(InputBox('Период', 'Год:', '2024')) end.",
     "2024", ""},
    {"number patterns",
     "begin ShowMessage(FormatFloat('#,##0.00;-#,##0.00;\"-\"', 1234.5) + ' ' + "
     "FormatFloat('#,##0.00;-#,##0.00;\"-\"', 0)) end.",
     "1,234.50 -", ""},
    {"date text must be a date", "begin ShowMessage(StrToDate('31.12.2024 10:00')) end.", "",
     "is not a valid date"},
    // Arrays: dynamic ones count from 0, static ones from their low bound; both check bounds.
    {"dynamic array",
     "var a: array of Integer; i: Integer; begin SetLength(a, 3); for i := 0 to High(a) do "
     "a[i] := i * i; a[1] := '7'; ShowMessage(Format('%d %d %d %d %d', [Length(a), Low(a), "
     "High(a), a[1], a[2]])); SetLength(a, 1); ShowMessage(Length(a)) end.",
     "3 0 2 7 4|1", ""},
    {"static array bounds",
     "const N = 3; var a: array[1..N + 2] of String; begin a[1] := 'x'; a[5] := 'y'; "
     "ShowMessage(IntToStr(Low(a)) + IntToStr(High(a)) + a[1] + '[' + a[2] + ']' + a[5]) end.",
     "15x[]y", ""},
    {"static array index out of range", "var a: array[1..3] of Integer; begin a[0] := 1 end.", "",
     "индекс 0 вне границ массива"},
    {"dynamic array index out of range",
     "var a: array of Integer; begin SetLength(a, 2); ShowMessage(a[2]) end.", "",
     "индекс 2 вне границ массива"},
    {"array of arrays",
     "var m: array[0..1, 1..2] of Integer; g: array of array of String; begin m[1, 2] := 5; "
     "m[0][1] := 3; SetLength(g, 2, 3); g[1][2] := 'z'; ShowMessage(Format('%d %d %d %s %d', "
     "[m[1][2], m[0, 1], m[1, 1], g[1, 2], Length(g[0])])) end.",
     "5 3 0 z 3", ""},
    // Arrays are values: assignment copies, a var parameter changes the caller's array.
    {"arrays as parameters and results",
     "function Squares(n: Integer): array of Integer; var i: Integer; begin SetLength(Result, n); "
     "for i := 0 to n - 1 do Result[i] := i * i end; "
     "procedure Bump(var a: array of Integer); begin a[0] := a[0] + 100 end; "
     "function Sum(a: array of Integer): Integer; var i: Integer; begin Result := 0; "
     "for i := 0 to High(a) do Result := Result + a[i] end; "
     "var a, b: array of Integer; begin a := Squares(4); b := a; Bump(a); "
     "ShowMessage(Format('%d %d %d', [a[0], b[0], Sum(a)])) end.",
     "100 0 114", ""},
    {"static bounds must be constant", "var n: Integer; a: array[1..n] of Integer; begin end.", "",
     "ожидаются постоянные границы массива"},
    {"nil empties an array", "var a: array of Integer; begin SetLength(a, 3); a := nil; "
     "ShowMessage(Length(a)) end.", "0", ""},
    {"assigned", "var v: Variant; begin ShowMessage(Assigned(v)); v := 1; "
     "ShowMessage(Assigned(v)); v := nil; ShowMessage(Assigned(v)) end.", "False|True|False", ""},
    {"with needs an object", "var v: Variant; begin v := 1; with v do ShowMessage('x') end.", "",
     "ожидается объект"},
    // A library function's var argument may be an array item; it is written back afterwards.
    {"array item as var argument",
     "var a: array[1..2] of Integer; begin Inc(a[2]); Inc(a[2], 5); ShowMessage(a[2]) end.", "6",
     ""},
    {"array too big", "var a: array[1..100000, 1..1000] of Byte; begin end.", "",
     "слишком большой массив"},
    {"setlength too big", "var a: array of Integer; begin SetLength(a, 2000000000) end.", "",
     "слишком большой массив"},
    {"setlength of a static array", "var a: array[0..1] of Integer; begin SetLength(a, 5) end.", "",
     "только у динамического массива"},
};

QString RunProgram(const char* program, QString* error) {
    QStringList lines;
    Script script;
    script.ShowMessageHook = [&lines](const QString& text) { lines << text; };
    try {
        script.Compile(QString::fromUtf8(program));
        script.Run();
    } catch (const EScriptError& e) {
        *error = e.Message();
    }
    return lines.join('|');
}

}  // namespace

TEST(ConformanceTest, Table) {
    platform::FormatSettings settings;  // '.' decimals, dd.mm.yyyy dates
    platform::ScopedFormatSettings scoped(settings);
    for (const Row& row : Rows) {
        QString error;
        const QString output = RunProgram(row.Program, &error);
        EXPECT_EQ(output, QString::fromUtf8(row.Output)) << row.Name << ": " << error.toStdString();
        if (*row.Error)
            EXPECT_TRUE(error.contains(QString::fromUtf8(row.Error)))
                << row.Name << ": " << error.toStdString();
        else
            EXPECT_TRUE(error.isEmpty()) << row.Name << ": " << error.toStdString();
    }
}
