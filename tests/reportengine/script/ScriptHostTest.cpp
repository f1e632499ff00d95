// Tests of the host side of the script engine: functions registered by declaration text, events
// called by name, run-time error places, and the limits a host sets on a run.
#include "TestEnv.h"
#include "reportengine/script/Script.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace script;
using platform::Variant;

namespace {

EScriptError RunError(Script& script, const char* program) {
    try {
        script.Compile(QString::fromUtf8(program));
        script.Run();
    } catch (const EScriptError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for " << program;
    return EScriptError("", 0, 0, "");
}

}  // namespace

TEST(ScriptHostTest, FunctionsByDeclarationTextReachOneDispatcher) {
    auto library = std::make_shared<FunctionLibrary>(*FunctionLibrary::Default());
    QStringList calls;
    QHash<QString, Variant> profile;
    Dispatcher profiles = [&](Script&, const QString& name, std::vector<Variant>& args) {
        calls << name + "/" + QString::number(args.size());
        if (name == "WriteProfileDate") {
            profile.insert(args[1].ToString(), args[2]);
            return Variant();
        }
        if (name == "ReadProfileStr")
            return Variant(args[0].ToString() + ":" + args[1].ToString());
        args[0] = Variant(args[0].ToInt() * 10);  // TenTimes(var x)
        return Variant();
    };
    library->AddFunction("function ReadProfileStr(ProfileName, Name: String): String", "Профили",
                         "Читает строку профиля", profiles);
    library->AddFunction("procedure WriteProfileDate(ProfileName, Name: String; d : Date)",
                         "Профили", "Записывает дату в профиль", profiles);
    library->AddFunction("procedure TenTimes(var x: Integer)", "Прочие", "", profiles);
    int f = library->FindFunction("readprofilestr");
    ASSERT_GE(f, 0);
    EXPECT_EQ(library->Function(f).Category, "Профили");
    EXPECT_EQ(library->Function(f).Declaration,
              "function ReadProfileStr(ProfileName, Name: String): String");

    Script script(library);
    script.Compile(R"(var s: String; n: Integer;
        begin
          s := ReadProfileStr('p', 'k');
          WriteProfileDate('p', 'when', 45000);
          n := 4; TenTimes(n);
        end.)");
    script.Run();
    EXPECT_EQ(script.Global("s"), Variant(QString("p:k")));
    EXPECT_EQ(script.Global("N"), Variant(40));
    EXPECT_EQ(calls, QStringList({"ReadProfileStr/2", "WriteProfileDate/3", "TenTimes/1"}));
    // The declared parameter type converts the argument before the dispatcher sees it.
    EXPECT_EQ(profile.value("when").Type(), platform::VarType::Date);

    EXPECT_THROW(library->AddFunction("function Broken(: String", "", "", profiles), EScriptError);
}

TEST(ScriptHostTest, EventsAreCalledByNameWithSender) {
    Script script;
    QStringList shown;
    script.ShowMessageHook = [&shown](const QString& text) { shown << text; };
    script.Compile(R"(var Clicks: Integer;
        procedure Button1Click(Sender: Variant);
        begin
          Inc(Clicks);
          ShowMessage(VarToStr(Sender) + ' ' + IntToStr(Clicks));
        end;
        procedure Broken(Sender: Variant);
        begin
          Clicks := Clicks div 0;
        end;
        begin Clicks := 10 end.)");
    script.Run();
    EXPECT_TRUE(script.HasRoutine("button1click"));
    script.CallProcedure("Button1Click", {Variant("Button1")});
    script.CallProcedure("BUTTON1CLICK", {Variant("Button1")});
    EXPECT_EQ(shown, QStringList({"Button1 11", "Button1 12"}));
    try {
        script.CallProcedure("Broken", {Variant()});
        ADD_FAILURE() << "no error";
    } catch (const EScriptError& e) {
        // The designer shows which handler failed and where inside it.
        EXPECT_EQ(e.Reason(), "Broken: Деление на ноль");
        EXPECT_EQ(e.Line(), 9);
        EXPECT_EQ(e.Column(), 11);
        EXPECT_EQ(e.Near(), "Clicks");
    }
    EXPECT_THROW(script.CallProcedure("Missing"), EScriptError);
}

TEST(ScriptHostTest, RunTimeErrorsCarryPlace) {
    Script script;
    EScriptError e = RunError(script, "var s: String;\nbegin\n  s := 'ab';\n  s := s + s[3]\nend.");
    // The place is the faulty part of the statement: the index, not the assignment.
    EXPECT_EQ(e.Line(), 4);
    EXPECT_EQ(e.Column(), 13);
    EXPECT_EQ(e.Near(), "[");
    EXPECT_EQ(e.Message(), "Строка 4, позиция 13: индекс 3 вне границ строки около \"[\"");
}

TEST(ScriptHostTest, LimitsStopRunawayScripts) {
    Script script;
    script.SetStatementBudget(10000);
    EScriptError budget = RunError(script, "begin while True do ; end.");
    EXPECT_TRUE(budget.Reason().contains("превышено допустимое число операторов"));

    // The budget cannot be swallowed by the script's own handler.
    budget = RunError(script, "begin try while True do ; except ShowMessage('no') end end.");
    EXPECT_TRUE(budget.Reason().contains("превышено"));

    script.SetStatementBudget(0);
    script.SetMaxCallDepth(100);
    EScriptError depth = RunError(script, "procedure R; begin R end; begin R end.");
    EXPECT_TRUE(depth.Reason().contains("слишком глубокая рекурсия"));

    // The operator's cancel arrives from another thread while the script loops; the loop tells
    // the test it is running through its hook, so no script state is read across threads.
    script.Compile("begin while True do ShowMessage('tick') end.");
    std::atomic<bool> running{false};
    script.ShowMessageHook = [&running](const QString&) { running.store(true); };
    bool stopped = false;
    std::thread runner([&] {
        try {
            script.Run();
        } catch (const EScriptError& e) {
            stopped = e.Reason().contains("прервано");
        }
    });
    while (!running.load())
        std::this_thread::yield();
    script.RequestStop();
    runner.join();
    EXPECT_TRUE(stopped);
}
