// The path the program's own dialog controls take: a derived control with its own view, whose
// event goes through the running dialog (the other controls show what the script changed, a
// ModalResult set by the script closes the dialog); a derived standard control borrowing its
// ancestor's view; OnEnter and OnExit as the focus moves.
#include "DialogTestSupport.h"
#include "HostControl.h"
#include "platform/MessageBox.h"
#include "reportengine/dialogs/DialogForm.h"
#include "reportengine/dialogs/DialogRunners.h"
#include "reportengine/model/ClassRegistry.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace dialogtest;

namespace {

const bool kRegistered = [] {
    auto& registry = TfrxClassRegistry::Instance();
    registry.Register<TfrxPickControl>(TfrxClassCategory::DialogControl, QStringLiteral("Pick"));
    registry.Register<TfrxPlainEditControl>(TfrxClassCategory::DialogControl,
                                            QStringLiteral("Plain edit"));
    TfrxControlViews::Register<TfrxPickControl, TPickView>();
    return true;
}();

}  // namespace

TEST(HostControls, OwnViewAndEventsThroughTheRunningDialog) {
    ASSERT_TRUE(kRegistered);
    auto report = ReportFrom(R"(
  <TfrxDialogPage Name="Ask">
    <TfrxPickControl Name="Pick1" Left="8" Top="8" Width="100" Height="60" OnPick="Picked"/>
    <TfrxPlainEditControl Name="Edit1" Left="120" Top="8" Width="100" Height="21"/>
  </TfrxDialogPage>
)",
                             QStringLiteral(R"(
procedure Picked(Sender: TfrxComponent);
begin
  Edit1.Text := 'выбрано ' + TfrxComponent(Sender).Name;
  Ask.ModalResult := mrOk;
end;
begin end.)"));
    StartScript(*report);
    QString shown;
    platform::setModalHandler([&](QDialog& d) {
        d.show();
        auto* list = d.findChild<QListWidget*>(QStringLiteral("Pick1"));
        list->setCurrentRow(1);
        shown = d.findChild<QLineEdit*>(QStringLiteral("Edit1"))->text();
        return d.result();
    });
    TfrxModalDialogRunner runner;
    const int result = runner.RunDialogPage(Find<TfrxDialogPage>(*report, "Ask"));
    platform::setModalHandler(nullptr);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Find<TfrxPickControl>(*report, "Pick1").Picked, "two");
    EXPECT_EQ(shown, "выбрано Pick1");
}

TEST(HostControls, FocusFiresExitThenEnter) {
    auto report = ReportFrom(R"(
  <TfrxDialogPage Name="Page">
    <TfrxEditControl Name="A" Left="8" Top="8" Width="100" Height="21" OnEnter="GotFocus" OnExit="LostFocus"/>
    <TfrxEditControl Name="B" Left="8" Top="40" Width="100" Height="21" OnEnter="GotFocus" OnExit="LostFocus"/>
  </TfrxDialogPage>
)",
                             QStringLiteral(R"(var Log: String;
procedure GotFocus(Sender: TfrxComponent); begin Log := Log + '+' + TfrxComponent(Sender).Name end;
procedure LostFocus(Sender: TfrxComponent); begin Log := Log + '-' + TfrxComponent(Sender).Name end;
begin end.)"));
    StartScript(*report);
    TfrxDialogForm form(Find<TfrxDialogPage>(*report, "Page"));
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.findChild<QLineEdit*>(QStringLiteral("A"))->setFocus();
    form.findChild<QLineEdit*>(QStringLiteral("B"))->setFocus();
    EXPECT_TRUE(Log(*report).endsWith("+A-A+B")) << Log(*report).toStdString();
}
