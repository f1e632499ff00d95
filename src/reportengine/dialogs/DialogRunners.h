// The two ways the preparation engine runs dialog pages (TfrxDialogRunner):
// - TfrxModalDialogRunner shows each page as a modal TfrxDialogForm and returns the operator's
//   ModalResult;
// - TfrxHeadlessDialogRunner (tests, the command-line runner) builds the page's form without
//   showing it: OnShow and OnActivate fire, then the caller's answers are put into the controls,
//   then the default button is clicked (its ModalResult and OnClick, as the operator's Enter),
//   then OnClose and OnDeactivate; the page ends with OK unless the script set another result.
//   When the default button's handler vetoes closing (sets the page's ModalResult to mrNone),
//   nobody can answer again: the run fails with an error naming the dialog rather than go on
//   with answers the template refused.
// Script errors of the page's handlers are thrown by RunDialogPage (EScriptError).
// Thread contract: UI thread; a runner may serve many pages and reports in turn.
#pragma once

#include "platform/Variant.h"
#include "reportengine/model/DialogRunner.h"

#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace reportengine {

class TfrxDialogControl;
class TfrxDialogForm;

class TfrxModalDialogRunner : public TfrxDialogRunner {
public:
    explicit TfrxModalDialogRunner(QWidget* parent = nullptr) : FParent(parent) {}
    int RunDialogPage(TfrxDialogPage& page) override;

private:
    QPointer<QWidget> FParent;
};

class TfrxHeadlessDialogRunner : public TfrxDialogRunner {
public:
    // An answer: "CheckBox1" sets the control's value property (Checked, Text, Date, ItemIndex,
    // Lines: the class information "ValueProperty"), "ComboBox1.ItemIndex" a named property.
    // Texts convert to the property's type; for a date property "2026-07-01", "01.07.2026",
    // "2026-07-01T08:30:00" and "08:30" are accepted. A name that matches no control of the
    // report, or a value that does not convert, fails the run with a readable error.
    void SetAnswer(const QString& key, const platform::Variant& value);
    void ClearAnswers() { FAnswers.clear(); }
    int RunDialogPage(TfrxDialogPage& page) override;

private:
    void ApplyAnswers(TfrxDialogPage& page);
    QList<QPair<QString, platform::Variant>> FAnswers;
};

// Sets one property of a control from an answer value (see SetAnswer); empty property: the
// control's value property. Throws platform::Exception when it cannot.
void ApplyAnswer(TfrxDialogControl& control, const QString& property,
                 const platform::Variant& value);

}  // namespace reportengine
