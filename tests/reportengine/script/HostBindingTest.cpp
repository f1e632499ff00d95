// Tests of host objects in scripts: Qt reflection of properties and methods, string lists,
// registered host classes with ancestors and exact-class dispatch, named objects and late names,
// destroyed objects, events with Sender, "with", and the expression entry point of text objects.
#include "HostBindingTest.h"
#include "TestEnv.h"
#include "platform/FormatSettings.h"
#include "reportengine/script/Script.h"

#include <gtest/gtest.h>

#include <memory>

using namespace script;
using hosttest::TfrxDialogControl;
using hosttest::TfrxOtherTree;
using hosttest::TfrxTreeView;
using platform::Variant;

namespace {

// The registrations a control module would make: a base class with a method and a tree class
// below it whose members answer only for objects that are exactly trees.
std::shared_ptr<FunctionLibrary> ControlLibrary(QStringList* calls) {
    auto lib = std::make_shared<FunctionLibrary>();
    AddStandardLibrary(*lib);
    lib->AddClass("TfrxDialogControl", "TComponent")
        .AddMethod("function Describe(Prefix: String = '>'): String", [calls](HostCall& c) {
            *calls << c.Member;
            return Variant(c.Args[0].ToString() + c.ClassName + "." + c.Class->Name());
        });
    auto tree = [calls](HostCall& c) -> Variant {
        *calls << c.Member;
        auto* view = static_cast<TfrxTreeView*>(c.Object);
        if (c.Member == "AddRoot") {
            view->Roots << c.Args[0].ToString();
            return Variant();
        }
        if (c.Member == "Roots" && c.IsWrite) {
            view->Roots[c.Args[0].ToInt()] = c.Value.ToString();
            return Variant();
        }
        if (c.Member == "Roots")
            return Variant(view->Roots.value(c.Args[0].ToInt()));
        if (c.Member == "TakeCount") {
            c.Args[0] = Variant(int(view->Roots.size()));
            return Variant(true);
        }
        // "Query" and anything else: only for an object whose class is exactly the tree.
        return c.ClassName == "TfrxTreeView" ? Variant::FromObject(c.Object) : Variant(0);
    };
    lib->AddClass("TfrxTreeView", "TfrxDialogControl")
        .AddMethod("procedure AddRoot(Text: String)", tree)
        .AddMethod("function TakeCount(var N: Integer): Boolean", tree)
        .AddProperty("Query: TQuery", true, tree)
        .AddProperty("property Roots[Index: Integer]: String", false, tree);
    return lib;
}

struct Host {
    QStringList Calls;
    QStringList Shown;
    QObject Page;
    TfrxDialogControl* Panel = new TfrxDialogControl(&Page);
    TfrxTreeView* Tree = new TfrxTreeView(Panel);
    TfrxOtherTree* Other = new TfrxOtherTree(&Page);
    QObject Report;
    Script Engine{ControlLibrary(&Calls)};

    Host() {
        Page.setObjectName("Page1");
        Panel->setObjectName("Panel1");
        Tree->setObjectName("Tree1");
        Other->setObjectName("Other1");
        Report.setObjectName("frReport1");
        Engine.ShowMessageHook = [this](const QString& text) { Shown << text; };
        Engine.SetRootObject(&Page);
        Engine.AddObject("Report", &Report);
    }
    QString Run(const QString& source) {
        Shown.clear();
        Engine.Compile(source);
        Engine.Run();
        return Shown.join('|');
    }
    QString Error(const QString& source) {
        try {
            Run(source);
        } catch (const EScriptError& e) {
            return e.Message();
        }
        return "no error";
    }
};

TEST(HostBindingTest, PropertiesOfEveryKindReadAndWrite) {
    platform::FormatSettings settings;
    platform::ScopedFormatSettings scoped(settings);
    Host h;
    EXPECT_EQ(h.Run(R"(begin
          Panel1.caption := 'Итоги'; Panel1.TAG := 41; Panel1.Tag := Panel1.Tag + 1;
          Panel1.Ratio := 1.25; Panel1.Enabled := False;
          Panel1.Stamp := EncodeDate(2024, 3, 1) + 0.5; Panel1.Day := EncodeDate(2024, 2, 29);
          Panel1.Color := $0000FF; Panel1.Alignment := 'haCenter';
          Panel1.Partner := Tree1;
          ShowMessage(Panel1.Caption + ' ' + IntToStr(Panel1.Tag) + ' ' + FloatToStr(Panel1.Ratio));
          ShowMessage(FormatDateTime('dd.mm.yyyy hh:nn', Panel1.Stamp) + ' ' + DateToStr(Panel1.Day));
          ShowMessage(IntToStr(Panel1.Color) + ' ' + IntToStr(Panel1.Alignment) + ' ' +
                      IntToStr(Panel1.Version));
          Panel1.Alignment := 1;
          Panel1.Partner.Caption := 'через цепочку';
          ShowMessage(Panel1.Greet('x', 2) + ' ' + IntToStr(Panel1.Alignment));
          Panel1.Reset;
          ShowMessage(Panel1.Tag);
          ShowMessage(Panel1.Tree1.Caption);
        end.)"),
              "Итоги 42 1.25|01.03.2024 12:00 29.02.2024|255 2 7|Итоги:xИтоги:x 1|0|через цепочку");
    EXPECT_FALSE(h.Panel->Enabled);
    EXPECT_EQ(h.Panel->Color, QColor(255, 0, 0));  // 0x00BBGGRR: $0000FF is red
    EXPECT_EQ(h.Panel->Partner, h.Tree);
    EXPECT_EQ(h.Tree->Caption, "через цепочку");

    const struct {
        const char* Program;
        const char* Error;
    } faults[] = {
        {"begin Panel1.Version := 1 end.", "только для чтения"},
        {"begin Panel1.Missing := 1 end.", "нет свойства \"Missing\""},
        {"begin ShowMessage(Panel1.Missing) end.", "у объекта класса TfrxDialogControl нет члена"},
        {"begin Panel1.Alignment := 'haNowhere' end.", "нет значения \"haNowhere\""},
        {"begin Panel1.Partner := 5 end.", "ожидается объект"},
        {"begin ShowMessage(Panel1.Greet('x')) end.", "неверное число параметров"},
        {"var v: Variant; begin ShowMessage(v.Caption) end.", "nil"},
    };
    for (const auto& f : faults)
        EXPECT_TRUE(h.Error(f.Program).contains(QString::fromUtf8(f.Error)))
            << f.Program << " -> " << h.Error(f.Program).toStdString();
}

TEST(HostBindingTest, StringListPropertiesBehaveLikeLists) {
    Host h;
    h.Panel->Lines = {"select *", "from t", "where 1 = 1"};
    EXPECT_EQ(h.Run(R"(var i: Integer; begin
          ShowMessage(Panel1.Lines[1] + '/' + IntToStr(Panel1.Lines.Count) + '/' +
                      Panel1.Lines.Strings[2]);
          Panel1.Lines[2] := 'where id = 5';
          Panel1.Lines.Strings[0] := 'select id';
          Panel1.Lines.Add('order by id');
          Panel1.Lines.Insert(1, ', name');
          Panel1.Lines.Delete(2);
          ShowMessage(IntToStr(Panel1.Lines.IndexOf('WHERE ID = 5')) + ' ' +
                      IntToStr(Panel1.Lines.IndexOf('nothing')));
          ShowMessage(Panel1.Lines.Text);
        end.)"),
              "from t/3/where 1 = 1|2 -1|select id\r\n, name\r\nwhere id = 5\r\norder by id");
    EXPECT_EQ(h.Panel->Lines, QStringList({"select id", ", name", "where id = 5", "order by id"}));

    h.Run(
        "begin Panel1.Lines.Text := 'a'#13#10'b'#10'c'; Panel1.Partner := Tree1; "
        "Panel1.Partner.Lines.Add('via chain'); end.");
    EXPECT_EQ(h.Panel->Lines, QStringList({"a", "b", "c"}));
    EXPECT_EQ(h.Tree->Lines, QStringList({"via chain"}));
    h.Run("begin Panel1.Lines.Clear end.");
    EXPECT_TRUE(h.Panel->Lines.isEmpty());

    h.Panel->Lines = {"only"};
    EXPECT_TRUE(h.Error("begin ShowMessage(Panel1.Lines[3]) end.").contains("индекс 3"));
    EXPECT_TRUE(
        h.Error("begin Panel1.Lines.Delete(-1) end.").contains("индекс -1 вне границ списка"));
    EXPECT_TRUE(h.Error("begin Panel1.Lines.Insert(5, 'x') end.").contains("индекс 5"));
    EXPECT_EQ(h.Panel->Lines, QStringList({"only"}));
}

TEST(HostBindingTest, HostClassesInheritMembersAndSeeTheExactClass) {
    Host h;
    EXPECT_EQ(h.Run(R"(var n: Integer; begin
          Tree1.AddRoot('Двери'); Tree1.AddRoot('Окна');
          ShowMessage(Tree1.Describe + ' ' + Other1.Describe('#') + ' ' + Panel1.Describe);
          ShowMessage(Tree1.Roots[1]);
          Tree1.Roots[1] := 'Ворота';
          if Tree1.TakeCount(n) then ShowMessage(n);
          ShowMessage(Tree1.Query.Caption + '|' + VarToStr(Other1.Query));
          ShowMessage(Format('%s %s %s %s %s %s', [Tree1 is TfrxDialogControl, Other1 is TfrxTreeView,
            Panel1 is TfrxTreeView, Tree1 is TComponent, Panel1 is QObject, nil is TfrxTreeView]));
        end.)"),
              ">TfrxTreeView.TfrxDialogControl #TfrxOtherTree.TfrxDialogControl "
              ">TfrxDialogControl.TfrxDialogControl|Окна|2||0|True True False True True False");
    EXPECT_EQ(h.Tree->Roots, QStringList({"Двери", "Ворота"}));
    // Registered members win over reflection; the dispatcher sees the registered member name.
    EXPECT_TRUE(h.Calls.contains("AddRoot") && h.Calls.contains("Query"));
    EXPECT_TRUE(h.Error("begin Tree1.Query := nil end.").contains("только для чтения"));
    EXPECT_TRUE(h.Error("begin Tree1.AddRoot end.").contains("недостаточно параметров"));
    // A var argument of a host method must be something that can be assigned.
    EXPECT_TRUE(h.Error("begin Tree1.TakeCount(1) end.").contains("ожидается переменная"));
}

TEST(HostBindingTest, NamedObjectsRootDescendantsAndLateNames) {
    Host h;
    EXPECT_EQ(h.Run("var Panel1: String; begin Panel1 := 'мой'; Report.objectName := 'rep'; "
                    "ShowMessage(Panel1 + ' ' + Report.ObjectName + ' ' + TREE1.objectName) end."),
              "мой rep Tree1");
    // Without a fallback an unknown name fails at compile time; with one it is asked at run time.
    EXPECT_TRUE(
        h.Error("begin ShowMessage(Memo9.Text) end.").contains("неизвестный идентификатор"));
    std::unique_ptr<TfrxDialogControl> later;
    int asked = 0;
    h.Engine.SetNameResolver([&](const QString& name, Variant& value) {
        ++asked;
        if (name.compare("Memo9", Qt::CaseInsensitive) != 0 || !later)
            return false;
        value = Variant::FromObject(later.get());
        return true;
    });
    h.Engine.Compile("procedure Show; begin ShowMessage(Memo9.Caption) end; begin end.");
    EXPECT_THROW(h.Engine.CallProcedure("Show"), EScriptError);  // not created yet
    later = std::make_unique<TfrxDialogControl>();
    later->Caption = "позже";
    h.Shown.clear();
    h.Engine.CallProcedure("Show");
    EXPECT_EQ(h.Shown, QStringList({"позже"}));
    EXPECT_EQ(asked, 2);
}

TEST(HostBindingTest, DestroyedObjectsAreRunTimeErrors) {
    Host h;
    h.Engine.Compile(R"(var Kept: Variant;
        procedure Keep; begin Kept := Other1 end;
        procedure Use; begin ShowMessage(Kept.Caption) end;
        procedure Check; begin ShowMessage(Assigned(Kept)); ShowMessage(Kept = nil) end;
        procedure ByName; begin ShowMessage(Other1.Caption) end;
        begin end.)");
    h.Engine.Run();
    h.Engine.CallProcedure("Keep");
    delete h.Other;
    try {
        h.Engine.CallProcedure("Use");
        ADD_FAILURE() << "no error";
    } catch (const EScriptError& e) {
        EXPECT_EQ(e.Reason(), "Use: объект уже уничтожен");
        EXPECT_EQ(e.Near(), "Caption");
    }
    h.Engine.CallProcedure("Check");
    EXPECT_EQ(h.Shown, QStringList({"False", "True"}));
    EXPECT_THROW(h.Engine.CallProcedure("ByName"), EScriptError);
    // A report object recreated under the same name is found again.
    auto* again = new TfrxOtherTree(&h.Page);
    again->setObjectName("Other1");
    again->Caption = "снова";
    h.Shown.clear();
    h.Engine.CallProcedure("ByName");
    EXPECT_EQ(h.Shown, QStringList({"снова"}));
}

TEST(HostBindingTest, EventsGetSenderAndHonourStop) {
    Host h;
    // Class names serve as parameter types and casts, as templates write them.
    h.Engine.Compile(R"(procedure Tree1Click(Sender: TfrxComponent);
        begin
          if Sender is TfrxTreeView then
            TfrxTreeView(Sender).Caption := 'нажато ' + Sender.objectName + IntToStr(Integer(2.6));
        end;
        procedure Broken(Sender: Variant); begin Sender.Nothing := 1 end;
        begin end.)");
    h.Engine.Run();
    h.Engine.CallProcedure("Tree1Click", {Variant::FromObject(h.Tree)});
    EXPECT_EQ(h.Tree->Caption, "нажато Tree13");
    try {
        h.Engine.CallProcedure("Broken", {Variant::FromObject(h.Panel)});
        ADD_FAILURE() << "no error";
    } catch (const EScriptError& e) {
        EXPECT_TRUE(e.Reason().startsWith("Broken: ")) << e.Reason().toStdString();
        EXPECT_EQ(e.Line(), 6);
    }
    // A cancelled run stops the events and expressions after it, until the next Run.
    h.Engine.RequestStop();
    EXPECT_THROW(h.Engine.CallProcedure("Tree1Click", {Variant::FromObject(h.Tree)}), EScriptError);
    EXPECT_THROW(h.Engine.Evaluate("1 + 1"), EScriptError);
    h.Engine.Run();
    EXPECT_EQ(h.Engine.Evaluate("1 + 1"), Variant(2));
}

TEST(HostBindingTest, WithLetsMembersShadowOuterNames) {
    Host h;
    EXPECT_EQ(h.Run(R"(var Caption, Total: String;
        procedure Fill;
        var Tag: Integer;
        begin
          Tag := 100;
          with Panel1, Tree1 do begin
            Caption := 'дерево';  // Tree1's, the innermost with object
            Tag := Tag + 1;       // Tree1's Tag, not the local one
            AddRoot('корень');
            Total := Describe('=') + ' ' + Lines.Text + ' ' + IntToStr(Length(Caption));
          end;
          ShowMessage(IntToStr(Tag) + ' ' + Caption + ' ' + Total);
        end;
        begin Caption := 'внешний'; Tree1.Lines.Text := 'l'; Fill end.)"),
              "100 внешний =TfrxTreeView.TfrxDialogControl l 6");
    EXPECT_EQ(h.Tree->Caption, "дерево");
    EXPECT_EQ(h.Tree->Tag, 1);
    EXPECT_EQ(h.Tree->Roots, QStringList({"корень"}));
    EXPECT_TRUE(
        h.Error("begin with Tree1 do Nothing := 1 end.").contains("неизвестный идентификатор"));
    // A loop counter inside "with" stays the variable even when the object has that name.
    EXPECT_EQ(h.Run("var Tag, s: Integer; begin with Tree1 do for Tag := 1 to 3 do s := s + 1; "
                    "ShowMessage(IntToStr(s) + IntToStr(Tag)) end."),
              "33");
    EXPECT_EQ(h.Tree->Tag, 1);
}

// The data of a text object: one row of a query, report variables, the line number.
struct Data {
    QHash<QString, Variant> Fields{{"Name", Variant("Иванов")}, {"Code", Variant::Null()}};
    QHash<QString, Variant> Variables{{"Var1", Variant("Пропуск")}, {"Line#", Variant(3)}};
    int Asked = 0;
    bool Serve(const QString& name, const QString& field, Variant& value) {
        ++Asked;
        if (field.isNull()) {
            if (!Variables.contains(name))
                return false;
            value = Variables.value(name);
            return true;
        }
        if (name != "ZQuery1" || !Fields.contains(field))
            return false;
        value = Fields.value(field);
        return true;
    }
};

TEST(HostBindingTest, ExpressionsOfTextObjects) {
    Host h;
    Data data;
    h.Engine.SetDataResolver(
        [&data](const QString& n, const QString& f, Variant& v) { return data.Serve(n, f, v); });
    h.Engine.Compile(
        "var Prefix: String; function Twice(s: String): String; "
        "begin Result := s + s end; begin Prefix := '№' end.");
    h.Engine.Run();
    const struct {
        const char* Text;
        Variant Value;
    } cases[] = {
        {"[<ZQuery1.\"Name\"> + ' ' + IntToStr(<Line#>)]", Variant("Иванов 3")},
        {"Copy(<Var1>, 1, 3)", Variant("Про")},
        {"ZQuery1.\"Name\"", Variant("Иванов")},
        {"Prefix + Twice(<\"Var1\">)", Variant("№ПропускПропуск")},
        // A null field: null through operators, empty through VarToStr.
        {"<ZQuery1.\"Code\"> + 1", Variant::Null()},
        {"VarToStr(<ZQuery1.\"Code\">) + '-'", Variant("-")},
        // Comparisons stay comparisons: '<' then a blank, '=', a digit or '('.
        {"(<Line#> < 5) and (1<2) and (<Line#> <= 3) and (<Line#><>4)", Variant(true)},
        {"[1 + 2] + [3]", Variant()},  // not one bracketed expression: a set, so an error below
        {"Tree1.Roots[0]", Variant("")},
        {"IIF(<Line#> > 2, 'много', 1 div 0)", Variant("много")},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        if (c.Value.IsEmpty()) {
            EXPECT_THROW(h.Engine.Evaluate(text), EScriptError) << c.Text;
            continue;
        }
        EXPECT_EQ(h.Engine.Evaluate(text), c.Value) << c.Text;
    }
    // Per row the same text is evaluated again; it sees the new values.
    data.Fields["Name"] = Variant("Петров");
    EXPECT_EQ(
        h.Engine.Evaluate(QString::fromUtf8("[<ZQuery1.\"Name\"> + ' ' + IntToStr(<Line#>)]")),
        Variant("Петров 3"));

    const struct {
        const char* Text;
        const char* Message;
    } errors[] = {
        {"<ZQuery1.\"Nope\"> + 1",
         "выражение \"<ZQuery1.\"Nope\"> + 1\": неизвестное поле "
         "\"ZQuery1\".\"Nope\" около \"<ZQuery1.\"Nope\">\""},
        {"Copy(<Var1>, 1", "около \"конец текста\""},
        {"Nope(1)", "неизвестный идентификатор \"Nope\" около \"Nope\""},
        {"<Missing>", "неизвестная переменная \"Missing\""},
        {"1 div (<Line#> - 3)", "Деление на ноль"},
    };
    for (const auto& e : errors) {
        try {
            h.Engine.Evaluate(QString::fromUtf8(e.Text));
            ADD_FAILURE() << "no error for " << e.Text;
        } catch (const EScriptError& error) {
            EXPECT_TRUE(error.Message().contains(QString::fromUtf8(e.Message)))
                << error.Message().toStdString();
        }
    }
}

// Report variables are expressions themselves; the host evaluates them while serving another
// expression. One defined by itself must end in an error, not in a stack overflow.
TEST(HostBindingTest, NestedEvaluationSharesTheCallDepth) {
    Script script;
    script.SetMaxCallDepth(50);
    QHash<QString, QString> variables{
        {"Total", "<Part> * 2"}, {"Part", "20 + 1"}, {"Loop", "<Loop> + 1"}};
    script.SetDataResolver([&](const QString& name, const QString&, Variant& value) {
        if (!variables.contains(name))
            return false;
        value = script.Evaluate(variables.value(name));
        return true;
    });
    EXPECT_EQ(script.Evaluate("<Total> + 1"), Variant(43));
    try {
        script.Evaluate("<Loop>");
        ADD_FAILURE() << "no error";
    } catch (const EScriptError& e) {
        EXPECT_TRUE(e.Reason().contains("слишком глубокая рекурсия")) << e.Reason().toStdString();
    }
    EXPECT_EQ(script.Evaluate("<Total>"), Variant(42));
}

TEST(HostBindingTest, ExpressionsWithoutAScriptAndLateNames) {
    Script script;
    script.SetNameResolver([](const QString& name, Variant& value) {
        if (name != "PageNo")
            return false;
        value = Variant(12);
        return true;
    });
    EXPECT_EQ(script.Evaluate("PageNo * 2 + Length('abc')"), Variant(27));
    // A compile replaces the cached expressions: they see the new script's globals.
    script.Compile("var PageNo: Integer; begin PageNo := 1 end.");
    script.Run();
    EXPECT_EQ(script.Evaluate("PageNo * 2 + Length('abc')"), Variant(5));
}

}  // namespace
