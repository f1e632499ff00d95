// Dialog pages run without a screen: the order of the page's events, answers put in before the
// default button, the button's ModalResult and a handler's veto, script errors, and a report's
// OnRunDialogs showing a page itself.
#include "DialogTestSupport.h"
#include "reportengine/dialogs/DialogRunners.h"
#include "reportengine/script/ScriptError.h"

#include <gtest/gtest.h>

using namespace dialogtest;
using platform::Variant;

namespace {

const QByteArray kPage = R"(
  <TfrxDialogPage Name="Ask" Caption="Отчет" OnShow="AskShow" OnActivate="AskActivate"
      OnDeactivate="AskDeactivate" OnClose="AskClose">
    <TfrxEditControl Name="Who" Left="8" Top="8" Width="120" Height="21" Text="никто"/>
    <TfrxCheckBoxControl Name="Flag" Left="8" Top="40" Width="120" Height="17" Caption="Флаг"/>
    <TfrxComboBoxControl Name="Month" Left="8" Top="64" Width="120" Height="21"
        Items.Text="Январь&#13;&#10;Февраль&#13;&#10;Март" ItemIndex="0" Style="csDropDownList"/>
    <TfrxDateEditControl Name="Day" Left="8" Top="90" Width="120" Height="21" Date="46204"/>
    <TfrxListBoxControl Name="Pick" Left="140" Top="8" Width="100" Height="60"
        Items.Text="a&#13;&#10;b&#13;&#10;c"/>
    <TfrxButtonControl Name="Ok" Left="8" Top="120" Width="75" Height="25" Caption="OK"
        Default="True" ModalResult="mrOk" OnClick="OkClick"/>
    <TfrxButtonControl Name="No" Left="90" Top="120" Width="75" Height="25" Caption="Отмена"
        Cancel="True" ModalResult="mrCancel"/>
  </TfrxDialogPage>
)";

const QString kScript = QStringLiteral(R"(var Log: String;
procedure AskShow(Sender: TfrxComponent); begin Log := Log + 'show;' end;
procedure AskActivate(Sender: TfrxComponent); begin Log := Log + 'activate;' end;
procedure AskDeactivate(Sender: TfrxComponent); begin Log := Log + 'deactivate;' end;
procedure AskClose(Sender: TfrxComponent); begin Log := Log + 'close;' end;
procedure OkClick(Sender: TfrxComponent);
begin
  Log := Log + 'ok(' + Who.Text + ',' + IntToStr(Month.ItemIndex) + ',' + Month.Text + ',' +
    FormatDateTime('yyyy-mm-dd', Day.Date) + ',' + IntToStr(Pick.ItemIndex);
  if Flag.Checked then Log := Log + ',flag';
  Log := Log + ');';
  if Who.Text = 'veto' then Ask.ModalResult := mrNone;
  if Who.Text = 'stop' then Ask.ModalResult := mrCancel;
  if Who.Text = 'fail' then RaiseException('не так');
end;
begin end.)");

struct AskRun {
    std::unique_ptr<TfrxReport> Report;
    TfrxHeadlessDialogRunner Runner;
    AskRun() : Report(ReportFrom(kPage, kScript)) { StartScript(*Report); }
    int Go() { return Runner.RunDialogPage(Find<TfrxDialogPage>(*Report, "Ask")); }
};

}  // namespace

TEST(HeadlessDialog, EventsFireInOrderAndAnswersComeBeforeTheDefaultButton) {
    AskRun run;
    run.Runner.SetAnswer("Who", "Петров");
    run.Runner.SetAnswer("Flag", true);
    run.Runner.SetAnswer("Month", "Март");  // the text picks the item
    run.Runner.SetAnswer("Day", "15.07.2026");
    run.Runner.SetAnswer("Pick.ItemIndex", 2);
    EXPECT_EQ(run.Go(), mrOk);
    EXPECT_EQ(Log(*run.Report),
              "show;activate;ok(Петров,2,Март,2026-07-15,2,flag);close;deactivate;");
    EXPECT_EQ(Find<TfrxDialogPage>(*run.Report, "Ask").ModalResult, mrOk);
    // The controls are free again once the page has run.
    EXPECT_EQ(Find<TfrxEditControl>(*run.Report, "Who").Host, nullptr);
}

TEST(HeadlessDialog, WithoutAnswersTheTemplateValuesGo) {
    AskRun run;
    EXPECT_EQ(run.Go(), mrOk);
    EXPECT_EQ(Log(*run.Report), "show;activate;ok(никто,0,Январь,2026-07-01,-1);close;deactivate;");
}

TEST(HeadlessDialog, ResultOfTheDefaultButtonsHandler) {
    {
        AskRun run;
        run.Runner.SetAnswer("Who", "stop");
        EXPECT_EQ(run.Go(), mrCancel);
    }
    {
        // Nobody can answer a refusal: the run fails rather than go on with refused answers.
        AskRun run;
        run.Runner.SetAnswer("Who", "veto");
        try {
            run.Go();
            FAIL() << "a veto must fail the run";
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.Message(), "Диалог \"Отчет\" не принял ответы");
        }
    }
}

TEST(HeadlessDialog, ScriptErrorsOfHandlersReachTheCaller) {
    AskRun run;
    run.Runner.SetAnswer("Who", "fail");
    try {
        run.Go();
        FAIL() << "the handler's error must reach the caller";
    } catch (const script::EScriptError& e) {
        EXPECT_TRUE(e.Message().contains("OkClick")) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("не так")) << e.Message().toStdString();
    }
    // The dialog closed at the error; no later event ran.
    EXPECT_EQ(Log(*run.Report), "show;activate;ok(fail,0,Январь,2026-07-01,-1);");
}

TEST(HeadlessDialog, AnswersThatDoNotFitFailWithTheirName) {
    const std::pair<const char*, Variant> cases[] = {
        {"Nobody", Variant("x")},          // no such control
        {"Who.Missing", Variant("x")},     // no such property
        {"Month.Style", Variant("csNo")},  // no such enumeration value
        {"Ok", Variant("x")},              // a button has no value to answer
        {"Month", Variant("Апрель")},      // not one of the items of a pick-only list
    };
    for (const auto& [key, value] : cases) {
        SCOPED_TRACE(key);
        AskRun run;
        run.Runner.SetAnswer(key, value);
        try {
            run.Go();
            ADD_FAILURE() << "answer accepted";
        } catch (const platform::Exception& e) {
            const QString name = QString::fromLatin1(key).section('.', 0, 0);
            EXPECT_TRUE(e.Message().contains(name)) << e.Message().toStdString();
        }
    }
}

TEST(HeadlessDialog, OnRunDialogsShowsThePageThroughTheRunner) {
    const QString script = QString(kScript).replace("begin end.", "") + QStringLiteral(R"(
procedure RunDialogs(Sender: TfrxComponent);
begin
  if Ask.ShowModal = mrOk then Log := Log + 'shown;'
end;
begin end.)");
    auto report = ReportFrom(kPage, script);
    StartScript(*report);
    TfrxHeadlessDialogRunner runner;
    report->DialogRunner = &runner;
    report->ScriptEngine()->CallProcedure(QStringLiteral("RunDialogs"),
                                          {Variant::FromObject(report.get())});
    EXPECT_EQ(Log(*report),
              "show;activate;ok(никто,0,Январь,2026-07-01,-1);close;deactivate;shown;");
}
