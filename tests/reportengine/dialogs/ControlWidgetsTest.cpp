// The standard controls as widgets (offscreen): every control shows what the script sets and
// hands back what the operator changes; tab order; Enter and Esc; keys a handler swallows or
// replaces; a handler's error ends the shown dialog and reaches the runner.
#include "DialogTestSupport.h"
#include "platform/MessageBox.h"
#include "reportengine/dialogs/ControlView.h"
#include "reportengine/dialogs/DialogForm.h"
#include "reportengine/dialogs/DialogRunners.h"
#include "reportengine/dialogs/StandardViews.h"
#include "reportengine/script/ScriptError.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace dialogtest;

namespace {

const QByteArray kControls = R"(
  <TfrxDialogPage Name="Page" Caption="Элементы" Width="500" Height="400">
    <TfrxLabelControl Name="Label1" Left="8" Top="8" Width="100" Height="13" Caption="Метка"/>
    <TfrxEditControl Name="Edit1" Left="8" Top="24" Width="120" Height="21" OnChange="Changed"/>
    <TfrxMaskEditControl Name="Mask1" Left="140" Top="24" Width="120" Height="21"
        EditMask="!99/99/0000;1;_"/>
    <TfrxMemoControl Name="Memo1" Left="8" Top="50" Width="120" Height="60" OnChange="Changed"/>
    <TfrxCheckBoxControl Name="Check1" Left="140" Top="50" Width="120" Height="17"
        Caption="Флаг" OnClick="Clicked"/>
    <TfrxRadioButtonControl Name="Radio1" Left="140" Top="70" Width="60" Height="17"
        Caption="Да" Checked="True"/>
    <TfrxRadioButtonControl Name="Radio2" Left="200" Top="70" Width="60" Height="17"
        Caption="Нет"/>
    <TfrxListBoxControl Name="List1" Left="8" Top="120" Width="120" Height="60"
        Items.Text="a&#13;&#10;b&#13;&#10;c" OnClick="Clicked"/>
    <TfrxCheckListBoxControl Name="Checks1" Left="140" Top="120" Width="120" Height="60"
        Items.Text="x&#13;&#10;y" OnClickCheck="Clicked"/>
    <TfrxComboBoxControl Name="Combo1" Left="270" Top="24" Width="120" Height="21"
        Items.Text="Jan&#13;&#10;Feb&#13;&#10;Mar" OnChange="Changed"/>
    <TfrxDateEditControl Name="Date1" Left="270" Top="50" Width="120" Height="21"
        Date="46204" OnChange="Changed"/>
    <TfrxDateEditControl Name="Time1" Left="270" Top="300" Width="120" Height="21"
        Kind="dtkTime"/>
    <TfrxGroupBoxControl Name="Group1" Left="270" Top="80" Width="200" Height="80" Caption="Группа">
      <TfrxCheckBoxControl Name="Inner1" Left="10" Top="20" Width="100" Height="17" Caption="Внутри"/>
    </TfrxGroupBoxControl>
    <TfrxButtonControl Name="Ok" Left="8" Top="300" Width="75" Height="25" Caption="OK"
        Default="True" ModalResult="mrOk"/>
  </TfrxDialogPage>
)";

const QString kControlScript = QStringLiteral(R"(var Log: String;
procedure Changed(Sender: TfrxComponent); begin Log := Log + TfrxComponent(Sender).Name + ';' end;
procedure Clicked(Sender: TfrxComponent); begin Log := Log + 'click ' + TfrxComponent(Sender).Name + ';' end;
procedure Apply(Sender: TfrxComponent);
begin
  Label1.Caption := 'Новая';
  Edit1.Text := 'из сценария';
  Edit1.MaxLength := 5;
  Mask1.Text := '01/07/2026';
  Memo1.Lines.Text := 'первая' + #13#10 + 'вторая';
  Check1.Checked := True;
  Radio2.Checked := True;
  List1.Items.Add('d');
  List1.ItemIndex := 3;
  Checks1.Checked[1] := True;
  Combo1.ItemIndex := 1;
  Date1.Date := EncodeDate(2026, 7, 15);
  Time1.Time := EncodeTime(8, 30, 0, 0);
  Inner1.Enabled := False;
  Group1.Caption := 'Другая';
  Label1.Visible := False;
end;
begin end.)");

template <class W>
W* WidgetOf(TfrxDialogForm& form, TfrxReport& report, const char* name) {
    TfrxControlView* view = form.ViewOf(&Find<TfrxDialogControl>(report, name));
    return view ? qobject_cast<W*>(view->Widget()) : nullptr;
}

// Answers runModal with what a test does to the shown dialog.
class ScopedModal {
public:
    explicit ScopedModal(std::function<void(QDialog&)> act) {
        platform::setModalHandler([act](QDialog& d) {
            d.show();
            act(d);
            return d.result();
        });
    }
    ~ScopedModal() { platform::setModalHandler(nullptr); }
};

}  // namespace

TEST(DialogControls, ScriptChangesReachTheWidgets) {
    auto report = ReportFrom(kControls, kControlScript);
    StartScript(*report);
    TfrxDialogForm form(Find<TfrxDialogPage>(*report, "Page"));
    EXPECT_EQ(WidgetOf<QRadioButton>(form, *report, "Radio1")->isChecked(), true);
    EXPECT_EQ(WidgetOf<QDateTimeEdit>(form, *report, "Date1")->date(), QDate(2026, 7, 1));
    form.CallEvent(QStringLiteral("Apply"));

    EXPECT_EQ(WidgetOf<QLabel>(form, *report, "Label1")->text(), "Новая");
    EXPECT_TRUE(WidgetOf<QLabel>(form, *report, "Label1")->isHidden());
    EXPECT_EQ(WidgetOf<QLineEdit>(form, *report, "Edit1")->text(), "из сценария");
    EXPECT_EQ(WidgetOf<QLineEdit>(form, *report, "Mask1")->text(), "01/07/2026");
    EXPECT_EQ(WidgetOf<QPlainTextEdit>(form, *report, "Memo1")->toPlainText(), "первая\nвторая");
    EXPECT_TRUE(WidgetOf<QCheckBox>(form, *report, "Check1")->isChecked());
    EXPECT_TRUE(WidgetOf<QRadioButton>(form, *report, "Radio2")->isChecked());
    EXPECT_FALSE(WidgetOf<QRadioButton>(form, *report, "Radio1")->isChecked());
    EXPECT_FALSE(Find<TfrxRadioButtonControl>(*report, "Radio1").Checked);
    auto* list = WidgetOf<QListWidget>(form, *report, "List1");
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(list->currentRow(), 3);
    auto* checks = WidgetOf<QListWidget>(form, *report, "Checks1");
    EXPECT_EQ(checks->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(checks->item(1)->checkState(), Qt::Checked);
    auto* combo = WidgetOf<QComboBox>(form, *report, "Combo1");
    EXPECT_EQ(combo->currentText(), "Feb");
    EXPECT_EQ(Find<TfrxComboBoxControl>(*report, "Combo1").Text, "Feb");
    EXPECT_EQ(WidgetOf<QDateTimeEdit>(form, *report, "Date1")->date(), QDate(2026, 7, 15));
    EXPECT_EQ(WidgetOf<QDateTimeEdit>(form, *report, "Time1")->time(), QTime(8, 30));
    EXPECT_EQ(WidgetOf<QDateTimeEdit>(form, *report, "Time1")->displayFormat(), "HH:mm:ss");
    EXPECT_FALSE(WidgetOf<QCheckBox>(form, *report, "Inner1")->isEnabled());
    EXPECT_EQ(WidgetOf<QCheckBox>(form, *report, "Inner1")->parentWidget(),
              WidgetOf<QGroupBox>(form, *report, "Group1"));
    EXPECT_EQ(WidgetOf<QGroupBox>(form, *report, "Group1")->title(), "Другая");
    // Changes made by the script are not the operator's: no OnChange, no OnClick.
    EXPECT_EQ(Log(*report), "");
}

TEST(DialogControls, OperatorChangesReachTheModelAndFireEvents) {
    auto report = ReportFrom(kControls, kControlScript);
    StartScript(*report);
    TfrxDialogForm form(Find<TfrxDialogPage>(*report, "Page"));
    form.show();

    QTest::keyClicks(WidgetOf<QLineEdit>(form, *report, "Edit1"), "ab");
    EXPECT_EQ(Find<TfrxEditControl>(*report, "Edit1").Text, "ab");
    QTest::keyClicks(WidgetOf<QPlainTextEdit>(form, *report, "Memo1"), "z");
    EXPECT_EQ(Find<TfrxMemoControl>(*report, "Memo1").Lines, QStringList{"z"});
    QTest::mouseClick(WidgetOf<QCheckBox>(form, *report, "Check1"), Qt::LeftButton, {},
                      QPoint(6, 8));
    EXPECT_TRUE(Find<TfrxCheckBoxControl>(*report, "Check1").Checked());
    QTest::mouseClick(WidgetOf<QRadioButton>(form, *report, "Radio2"), Qt::LeftButton, {},
                      QPoint(6, 8));
    EXPECT_TRUE(Find<TfrxRadioButtonControl>(*report, "Radio2").Checked);
    EXPECT_FALSE(Find<TfrxRadioButtonControl>(*report, "Radio1").Checked);
    WidgetOf<QListWidget>(form, *report, "List1")->setCurrentRow(2);
    EXPECT_EQ(Find<TfrxListBoxControl>(*report, "List1").ItemIndex, 2);
    WidgetOf<QListWidget>(form, *report, "Checks1")->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(Find<TfrxCheckListBoxControl>(*report, "Checks1").StateOf(0),
              TfrxDialogControl::cbChecked);
    QLineEdit* comboText = WidgetOf<QComboBox>(form, *report, "Combo1")->lineEdit();
    ASSERT_TRUE(comboText);
    QTest::keyClicks(comboText, "Mar");
    EXPECT_EQ(Find<TfrxComboBoxControl>(*report, "Combo1").Text, "Mar");
    EXPECT_EQ(Find<TfrxComboBoxControl>(*report, "Combo1").ItemIndex, 2);
    WidgetOf<QDateTimeEdit>(form, *report, "Date1")->setDate(QDate(2026, 8, 2));
    EXPECT_EQ(Find<TfrxDateEditControl>(*report, "Date1").Date,
              platform::QDateTimeToDateTime(QDateTime(QDate(2026, 8, 2), QTime(0, 0))));

    EXPECT_EQ(Log(*report),
              "Edit1;Edit1;Memo1;click Check1;click List1;click Checks1;"
              "Combo1;Combo1;Combo1;Date1;");
}

TEST(DialogControls, TabOrderFollowsTabOrderInsideEachContainer) {
    auto report = ReportFrom(R"(
  <TfrxDialogPage Name="Page">
    <TfrxEditControl Name="C" Left="8" Top="8" Width="50" Height="21" TabOrder="2"/>
    <TfrxLabelControl Name="L" Left="8" Top="30" Width="50" Height="13" TabOrder="0"/>
    <TfrxEditControl Name="A" Left="8" Top="50" Width="50" Height="21" TabOrder="0"/>
    <TfrxGroupBoxControl Name="G" Left="80" Top="8" Width="120" Height="90" TabOrder="1">
      <TfrxEditControl Name="G2" Left="8" Top="20" Width="50" Height="21" TabOrder="1"/>
      <TfrxEditControl Name="G1" Left="8" Top="50" Width="50" Height="21" TabOrder="0"/>
    </TfrxGroupBoxControl>
    <TfrxEditControl Name="Z" Left="8" Top="80" Width="50" Height="21"/>
  </TfrxDialogPage>
)",
                             QStringLiteral("begin end."));
    TfrxDialogForm form(Find<TfrxDialogPage>(*report, "Page"));
    QStringList names;
    for (QWidget* w : form.TabChain())
        names << w->objectName();
    EXPECT_EQ(names, QStringList({"A", "G1", "G2", "C", "Z"}));
    // Tab moves along that chain (widgets that take no focus are passed over).
    auto nextStop = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    for (qsizetype i = 1; i < form.TabChain().size(); ++i)
        EXPECT_EQ(nextStop(form.TabChain()[i - 1])->objectName(), form.TabChain()[i]->objectName());
}

TEST(DialogControls, EnterClicksTheDefaultButtonAndEscTheCancelButton) {
    const QByteArray page = R"(
  <TfrxDialogPage Name="Page" OnClose="Closed">
    <TfrxEditControl Name="Edit1" Left="8" Top="8" Width="100" Height="21"/>
    <TfrxButtonControl Name="Ok" Left="8" Top="40" Width="75" Height="25" Caption="OK"
        Default="True" ModalResult="mrOk" OnClick="OkClick"/>
    <TfrxButtonControl Name="No" Left="90" Top="40" Width="75" Height="25" Caption="Отмена"
        Cancel="True" ModalResult="mrCancel" OnClick="NoClick"/>
  </TfrxDialogPage>
)";
    const QString script = QStringLiteral(R"(var Log: String;
procedure OkClick(Sender: TfrxComponent); begin Log := Log + 'ok;' end;
procedure NoClick(Sender: TfrxComponent); begin Log := Log + 'no;' end;
procedure Closed(Sender: TfrxComponent); begin Log := Log + 'close;' end;
begin end.)");
    const std::tuple<Qt::Key, int, const char*> cases[] = {
        {Qt::Key_Return, mrOk, "ok;close;"},
        {Qt::Key_Enter, mrOk, "ok;close;"},
        {Qt::Key_Escape, mrCancel, "no;close;"},
    };
    for (const auto& [key, result, log] : cases) {
        SCOPED_TRACE(int(key));
        auto report = ReportFrom(page, script);
        StartScript(*report);
        ScopedModal modal([&](QDialog& d) {
            QTest::keyClick(d.findChild<QLineEdit*>(QStringLiteral("Edit1")), key);
        });
        TfrxModalDialogRunner runner;
        EXPECT_EQ(runner.RunDialogPage(Find<TfrxDialogPage>(*report, "Page")), result);
        EXPECT_EQ(Log(*report), log);
    }
}

TEST(DialogControls, KeyHandlersSwallowOrReplaceKeys) {
    auto report = ReportFrom(R"(
  <TfrxDialogPage Name="Page">
    <TfrxEditControl Name="Edit1" Left="8" Top="8" Width="100" Height="21"
        OnKeyDown="EditKeyDown" OnKeyPress="EditKeyPress"/>
  </TfrxDialogPage>
)",
                             QStringLiteral(R"(var Log: String;
procedure EditKeyDown(Sender: TfrxComponent; var Key: Word; Shift: Integer);
begin
  Log := Log + IntToStr(Key) + '/' + IntToStr(Shift) + ';';
  if Key = 65 then Key := 0;
end;
procedure EditKeyPress(Sender: TfrxComponent; var Key: Char);
begin
  if Key = 'x' then Key := 'X';
  if Key = 'q' then Key := #0;
end;
begin end.)"));
    StartScript(*report);
    TfrxDialogForm form(Find<TfrxDialogPage>(*report, "Page"));
    form.show();
    auto* edit = WidgetOf<QLineEdit>(form, *report, "Edit1");
    QTest::keyClicks(edit, "abxq");
    QTest::keyClick(edit, Qt::Key_B, Qt::ShiftModifier);
    EXPECT_EQ(edit->text(), "bXb");  // the test's Shift+B carries the text "b"
    EXPECT_EQ(Find<TfrxEditControl>(*report, "Edit1").Text, "bXb");
    EXPECT_EQ(Log(*report), "65/0;66/0;88/0;81/0;16/1;66/1;");
}

TEST(DialogControls, AnErrorInAShownDialogEndsItAndReachesTheRunner) {
    auto report = ReportFrom(R"(
  <TfrxDialogPage Name="Page">
    <TfrxButtonControl Name="Ok" Left="8" Top="40" Width="75" Height="25" Caption="OK"
        ModalResult="mrOk" OnClick="OkClick"/>
  </TfrxDialogPage>
)",
                             QStringLiteral(R"(procedure OkClick(Sender: TfrxComponent);
begin RaiseException('сбой') end;
begin end.)"));
    StartScript(*report);
    bool closed = false;
    ScopedModal modal([&](QDialog& d) {
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("Ok")), Qt::LeftButton);
        closed = d.isHidden();
    });
    TfrxModalDialogRunner runner;
    EXPECT_THROW(runner.RunDialogPage(Find<TfrxDialogPage>(*report, "Page")), script::EScriptError);
    EXPECT_TRUE(closed);
}

TEST(DialogControls, EditMasksConvert) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"!99/99/0000;1;_", "00/00/9999;_"},
        {"000-LL;0; ", "999-AA; "},
        {">ccc", ">xxx;_"},
        {"\\9A", "\\9N;_"},
    };
    for (const auto& [mask, qt] : cases)
        EXPECT_EQ(QtInputMask(QString::fromLatin1(mask)), QString::fromLatin1(qt)) << mask;
}

TEST(DialogControls, AVetoKeepsTheDialogOpenAndClosingWithoutCancelButtonCancels) {
    auto report = ReportFrom(R"(
  <TfrxDialogPage Name="Ask" OnClose="Closed">
    <TfrxEditControl Name="Edit1" Left="8" Top="8" Width="100" Height="21" Text="нет"/>
    <TfrxButtonControl Name="Ok" Left="8" Top="40" Width="75" Height="25" Caption="OK"
        Default="True" ModalResult="mrOk" OnClick="OkClick"/>
  </TfrxDialogPage>
)",
                             QStringLiteral(R"(var Log: String;
procedure OkClick(Sender: TfrxComponent);
begin
  if Edit1.Text <> 'да' then Ask.ModalResult := mrNone;
end;
procedure Closed(Sender: TfrxComponent); begin Log := Log + 'close;' end;
begin end.)"));
    StartScript(*report);
    TfrxDialogPage& page = Find<TfrxDialogPage>(*report, "Ask");
    const std::pair<const char*, std::function<void(QDialog&)>> closers[] = {
        {"Esc", [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close button", [](QDialog& d) { d.close(); }},
    };
    for (const auto& [how, close] : closers) {
        SCOPED_TRACE(how);
        bool stayedOpen = false;
        ScopedModal modal([&](QDialog& d) {
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("Ok")), Qt::LeftButton);
            stayedOpen = d.isVisible();
            close(d);
        });
        TfrxModalDialogRunner runner;
        EXPECT_EQ(runner.RunDialogPage(page), mrCancel);
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(page.ModalResult, mrCancel);
    }
    EXPECT_EQ(Log(*report), "close;close;");
}
