// Tests of the standard library functions beyond the language core: number patterns, text to
// date and time under both regional presets, moving dates by months, maths edges, and the operator
// dialogs with and without host hooks. Every case runs through a compiled script, as templates
// call these functions.
#include "RegionalSettings.h"
#include "TestEnv.h"
#include "reportengine/script/Script.h"
#include "reportengine/script/StdLibHooks.h"

#include <gtest/gtest.h>

using namespace script;

namespace {

struct Outcome {
    QString Output;  // ShowMessage lines joined by '|'
    QString Error;
};

Outcome RunScript(Script& script, const QString& program) {
    Outcome o;
    QStringList lines;
    script.ShowMessageHook = [&lines](const QString& text) { lines << text; };
    try {
        script.Compile(program);
        script.Run();
    } catch (const EScriptError& e) {
        o.Error = e.Message();
    }
    o.Output = lines.join('|');
    return o;
}

Outcome RunScript(const QString& program) {
    Script script;
    return RunScript(script, program);
}

// The text ShowMessage shows for one expression.
Outcome Show(const QString& expression) {
    return RunScript("begin ShowMessage(" + expression + ") end.");
}

const QChar Nbsp(0x00A0);

struct PresetCase {
    const char* Expression;
    const char* Point;  // under point decimals, year-month-day dates
    const char* Comma;  // under comma decimals, day-month-year dates ('_' stands for U+00A0)
};

void CheckBothPresets(const PresetCase* cases, size_t count) {
    for (auto preset : {testenv::pointYmd(), testenv::commaDmy()}) {
        platform::ScopedFormatSettings scoped(preset);
        const bool comma = preset.DecimalSeparator == u',';
        for (size_t i = 0; i < count; ++i) {
            const PresetCase& c = cases[i];
            const Outcome o = Show(QString::fromUtf8(c.Expression));
            QString expected = QString::fromUtf8(comma ? c.Comma : c.Point);
            expected.replace(u'_', Nbsp);
            EXPECT_EQ(o.Output, expected) << c.Expression << (comma ? " (comma)" : " (point)")
                                          << " " << o.Error.toStdString();
        }
    }
}

}  // namespace

TEST(StdLibTest, FormatFloatPatterns) {
    const PresetCase cases[] = {
        // Halves round away from zero on the 15-digit form, so 1.005 rounds as it reads.
        {"FormatFloat('0.00', 1.005)", "1.01", "1,01"},
        {"FormatFloat('0.00', 2.675)", "2.68", "2,68"},
        {"FormatFloat('0', 2.5) + FormatFloat('0', -2.5)", "3-3", "3-3"},
        {"FormatFloat('0.00', -0.001)", "0.00", "0,00"},  // no minus on a zero result
        {"FormatFloat('#,##0.00', 1234567.891)", "1,234,567.89", "1_234_567,89"},
        {"FormatFloat('#,##0.00', -1234.5)", "-1,234.50", "-1_234,50"},
        {"FormatFloat('#,##0', 999999.5)", "1,000,000", "1_000_000"},
        {"FormatFloat('#.##', 0.5)", ".5", ",5"},
        {"FormatFloat('0.##', 1)", "1", "1"},  // no decimal point without decimals
        {"FormatFloat('0.0#', 1.5) + ' ' + FormatFloat('0.0#', 1.256)", "1.5 1.26", "1,5 1,26"},
        {"FormatFloat('00000', 42)", "00042", "00042"},
        {"FormatFloat('#', 0)", "", ""},
        {"FormatFloat('0.###E+00', 12345)", "1.235E+04", "1,235E+04"},
        {"FormatFloat('0.###E+00', 10000)", "1E+04", "1E+04"},
        {"FormatFloat('0.00E-00', 0.000123) + ' ' + FormatFloat('0.00E-00', 12300)",
         "1.23E-04 1.23E04", "1,23E-04 1,23E04"},
        {"FormatFloat('00.0E+0', 12345)", "12.3E+3", "12,3E+3"},
        {"FormatFloat('0.00;(0.00);\"zero\"', -3.456)", "(3.46)", "(3,46)"},
        // The zero section also takes values that round to zero.
        {"FormatFloat('0.00;(0.00);\"zero\"', 0.001)", "zero", "zero"},
        {"FormatFloat('0.00;;\"zero\"', -1)", "-1.00", "-1,00"},  // empty section: the first
        {"FormatFloat('\"Итого: \"0.00'' руб.''', 12.5)", "Итого: 12.50 руб.", "Итого: 12,50 руб."},
        {"FormatFloat('', 1.5)", "1.5", "1,5"},
        // Format's f and n follow the same rules.
        {"Format('%n|%.1f|%.0f', [1234.5, 2.25, 0.5])", "1,234.50|2.3|1", "1_234,50|2,3|1"},
    };
    CheckBothPresets(cases, std::size(cases));
}

TEST(StdLibTest, ConversionsRoundTripUnderBothPresets) {
    const char* program = R"(
        var d, t, dt: TDateTime; x: Double; ok: Boolean;
        begin
          d := EncodeDate(2024, 2, 29);
          t := EncodeTime(13, 45, 30, 0);
          dt := EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 0);
          ok := (StrToDate(DateToStr(d)) = d) and (StrToTime(TimeToStr(t)) = t) and
                (StrToDateTime(DateTimeToStr(dt)) = dt) and ValidDate(DateToStr(d));
          x := -1234.5678;
          ok := ok and (StrToFloat(FloatToStr(x)) = x) and (StrToFloatDef(FloatToStr(x), 0) = x)
                and (StrToFloat(FormatFloat('0.00', 2.5)) = 2.5);
          ShowMessage(ok);
        end.)";
    for (auto preset : {testenv::pointYmd(), testenv::commaDmy()}) {
        platform::ScopedFormatSettings scoped(preset);
        const Outcome o = RunScript(program);
        EXPECT_EQ(o.Output, "True")
            << preset.ShortDateFormat.toStdString() << " " << o.Error.toStdString();
    }
}

TEST(StdLibTest, TextToDateAndTimeRefusesWhatItIsNot) {
    platform::ScopedFormatSettings scoped(testenv::commaDmy());
    const struct {
        const char* Expression;
        const char* Error;  // empty when the call succeeds
        const char* Output;
    } cases[] = {
        {"DateToStr(StrToDate(' 1.2.2024 '))", "", "01.02.2024"},
        {"StrToDate('31.02.2024')", "'31.02.2024' is not a valid date", ""},
        {"StrToDate('12:30')", "'12:30' is not a valid date", ""},
        {"StrToDate('01.02.2024 10:00')", "'01.02.2024 10:00' is not a valid date", ""},
        {"StrToDate('2024-02-01')", "'2024-02-01' is not a valid date", ""},
        {"StrToDate('')", "'' is not a valid date", ""},
        {"TimeToStr(StrToTime('7:05 PM'))", "", "19:05:00"},
        {"StrToTime('25:00')", "'25:00' is not a valid time", ""},
        {"StrToTime('01.02.2024')", "'01.02.2024' is not a valid time", ""},
        {"StrToDateTime('01.02.2024 x')", "'01.02.2024 x' is not a valid date and time", ""},
        {"Format('%d %s %s', [Trunc(StrToDateDef('x', 5)), ValidDate('29.02.2023'), "
         "ValidDate('29.02.2024')])",
         "", "5 False True"},
    };
    for (const auto& c : cases) {
        const Outcome o = Show(QString::fromUtf8(c.Expression));
        EXPECT_EQ(o.Output, QString::fromUtf8(c.Output)) << c.Expression;
        if (*c.Error)
            EXPECT_TRUE(o.Error.contains(QString::fromUtf8(c.Error)))
                << c.Expression << ": " << o.Error.toStdString();
        else
            EXPECT_TRUE(o.Error.isEmpty()) << c.Expression << ": " << o.Error.toStdString();
    }
}

TEST(StdLibTest, MovingDates) {
    platform::ScopedFormatSettings scoped(testenv::pointYmd());
    const struct {
        const char* Expression;
        const char* Output;
    } cases[] = {
        // IncMonth keeps the day when the month has it, else takes the month's last day.
        {"IncMonth(EncodeDate(2024, 1, 31))", "2024-02-29"},
        {"IncMonth(EncodeDate(2023, 1, 31), 1)", "2023-02-28"},
        {"IncMonth(EncodeDate(2024, 3, 31), -1)", "2024-02-29"},
        {"IncMonth(EncodeDate(2024, 1, 31), -13)", "2022-12-31"},
        {"IncMonth(EncodeDate(2024, 1, 15), 24)", "2026-01-15"},
        {"IncMonth(EncodeDate(2024, 5, 31) + 0.75, 1)", "2024-06-30 18:00"},  // keeps the time
        {"IncDay(EncodeDate(2023, 12, 31), 60)", "2024-02-29"},
        {"IncDay(EncodeDate(2024, 3, 1), -1)", "2024-02-29"},
    };
    for (const auto& c : cases) {
        const Outcome o = Show(QStringLiteral("FormatDateTime('yyyy-mm-dd', %1) + "
                                              "FormatDateTime(' hh:nn', Frac(%1) + 1) ")
                                   .arg(QString::fromUtf8(c.Expression)));
        QString out = o.Output;
        out.remove(QStringLiteral(" 00:00"));
        EXPECT_EQ(out, QString::fromUtf8(c.Output)) << c.Expression << o.Error.toStdString();
    }
    EXPECT_EQ(
        Show("DaysBetween(EncodeDate(2024, 1, 2) + 0.25, EncodeDate(2024, 1, 1) + 0.5)").Output,
        "0");
    EXPECT_EQ(Show("DaysBetween(EncodeDate(2024, 1, 1), EncodeDate(2024, 3, 1))").Output, "60");
    EXPECT_EQ(Show("Format('%d %d %d', [YearOf(EncodeDate(2024, 3, 9)), "
                   "MonthOf(EncodeDate(2024, 3, 9)), DayOf(EncodeDate(2024, 3, 9))])")
                  .Output,
              "2024 3 9");
    // Before 1899-12-30 the date part counts toward zero and the time forward.
    EXPECT_EQ(Show("DateToStr(-1.25)").Output, "1899-12-29");
    EXPECT_TRUE(Show("IncMonth(EncodeDate(9999, 12, 1))")
                    .Error.contains("Invalid argument to date encode"));
    EXPECT_TRUE(
        Show("IncDay(EncodeDate(9999, 12, 31))").Error.contains("Invalid argument to date encode"));
}

TEST(StdLibTest, MathsKeepTypesAndRefuseWhatHasNoValue) {
    const struct {
        const char* Expression;
        const char* Output;
        const char* Error;
    } cases[] = {
        {"IntToStr(Max(2, 3)) + IntToStr(Min(2, 3))", "32", ""},  // integers stay integers
        {"Max(1, 2.5) + Min(-1.5, 0)", "1", ""},
        {"Format('%d %.2f %s', [Sqr(12), Sqr(1.5), Odd(-3)])", "144 2.25 True", ""},
        {"Power(2, 10) + Power(4, 0.5)", "1026", ""},
        {"Power(-8, 1 / 3)", "", "Недопустимая операция с плавающей точкой"},
        {"Format('%d %d %d %d', [Ceil(-1.5), Floor(-1.5), Ceil(1.2), Floor(1.8)])", "-1 -2 2 1",
         ""},
        {"Round(1e30)", "", "Целочисленное переполнение"},
        {"Trunc(-1e19)", "", "Целочисленное переполнение"},
        {"IntToHex(255, 4) + ' ' + IntToHex(-1, 2) + ' ' + IntToHex(-4294967297, 1)",
         "00FF FFFFFFFF FFFFFFFEFFFFFFFF", ""},
        {"CompareStr('a', 'B') > 0", "True", ""},
        {"AnsiUpperCase('привет') + AnsiLowerCase('МИР')", "ПРИВЕТмир", ""},
    };
    for (const auto& c : cases) {
        const Outcome o = Show(QString::fromUtf8(c.Expression));
        EXPECT_EQ(o.Output, QString::fromUtf8(c.Output)) << c.Expression;
        if (*c.Error)
            EXPECT_TRUE(o.Error.contains(QString::fromUtf8(c.Error)))
                << c.Expression << ": " << o.Error.toStdString();
        else
            EXPECT_TRUE(o.Error.isEmpty()) << c.Expression << ": " << o.Error.toStdString();
    }
}

TEST(StdLibTest, RandomStaysInItsRange) {
    const Outcome o = RunScript(R"(
        var i, n: Integer; x: Double; ok: Boolean;
        begin
          ok := Random(0) = 0;
          Randomize;
          for i := 1 to 2000 do begin
            n := Random(7);
            x := Random;
            ok := ok and (n >= 0) and (n < 7) and (x >= 0) and (x < 1) and (Random(-3) <= 0);
          end;
          ShowMessage(ok);
        end.)");
    EXPECT_EQ(o.Output, "True") << o.Error.toStdString();
}

TEST(StdLibTest, UnattendedDialogsAnswerAsEnterWould) {
    const struct {
        const char* Buttons;
        int Result;
    } cases[] = {
        {"[mbYes, mbNo]", mrYes},
        {"mbYesNoCancel", mrYes},
        {"[mbCancel, mbOK]", mrOk},
        {"mbAbortRetryIgnore", mrRetry},
        {"[mbNo, mbCancel]", mrNo},
        {"mbCancel", mrCancel},
        {"[]", mrNone},
    };
    for (const auto& c : cases) {
        const Outcome o = Show(QStringLiteral("MessageDlg('?', mtConfirmation, %1, 0)")
                                   .arg(QString::fromUtf8(c.Buttons)));
        EXPECT_EQ(o.Output, QString::number(c.Result)) << c.Buttons << o.Error.toStdString();
    }
    const Outcome o = RunScript(R"(
        var v: String;
        begin
          v := 'kept';
          ShowMessage(InputBox('Period', 'Year:', '2024'));
          ShowMessage(InputQuery('Period', 'Month:', v));
          ShowMessage(v);
        end.)");
    EXPECT_EQ(o.Output, "2024|True|kept") << o.Error.toStdString();
}

TEST(StdLibTest, BoundDialogHooksAnswerUntilDropped) {
    const QString program = R"(
        var v: String;
        begin
          ShowMessage(MessageDlg('Delete?', mtWarning, [mbYes, mbNo], 0) = mrNo);
          v := 'old';
          ShowMessage(InputQuery('Caption', 'Prompt', v));
          ShowMessage(v);
          ShowMessage(InputBox('Caption', 'Cancelled', 'default'));
        end.)";
    Script script;
    QStringList seen;
    {
        DialogHooks hooks;
        hooks.MessageDlg = [&seen](const QString& text, int type, const QList<int>& buttons) {
            seen << QStringLiteral("%1/%2/%3,%4")
                        .arg(text)
                        .arg(type)
                        .arg(buttons[0])
                        .arg(buttons[1]);
            return int(mrNo);
        };
        hooks.InputQuery = [&seen](const QString& caption, const QString& prompt, QString& value) {
            seen << caption + "/" + prompt + "/" + value;
            if (prompt == "Cancelled") {
                value = "typed before cancel";
                return false;
            }
            value = "new";
            return true;
        };
        DialogHookBinding binding(script, hooks);
        const Outcome o = RunScript(script, program);
        EXPECT_EQ(o.Output, "True|True|new|default") << o.Error.toStdString();
        EXPECT_EQ(seen, QStringList(
                            {"Delete?/0/0,1", "Caption/Prompt/old", "Caption/Cancelled/default"}));
    }
    // Dropped: the script runs unattended again.
    const Outcome o = RunScript(script, program);
    EXPECT_EQ(o.Output, "False|True|old|default") << o.Error.toStdString();
}
