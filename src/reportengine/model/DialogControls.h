// The model of dialog controls: the properties and event names a dialog page's controls carry in
// a template, and what scripts read and write by name. The model is the truth: while a dialog
// runs, the dialog runtime (reportengine/dialogs) copies every change the operator makes into it
// at once and refreshes its widgets from it after every script event.
//
// The class information "ValueProperty" names the property an answer of a headless run sets when
// it names only the control (Q_CLASSINFO("ValueProperty", "Text")); host controls may give one.
//
// Host controls (a tree view, a profile control) derive from TfrxDialogControl, register their
// class with TfrxClassRegistry (category DialogControl) and their widget with the dialog runtime
// (TfrxControlViews in reportengine/dialogs/ControlView.h); they fire their own events through
// TfrxDialogControl::DoEvent so that the running dialog sees what the script changed.
// Controls inside a group box or panel are owned by it; their geometry is relative to it.
// Thread contract: the thread that owns the report (the UI thread while a dialog runs).
#pragma once

#include "platform/Variant.h"
#include "reportengine/model/Component.h"

#include <QStringList>
#include <vector>

namespace reportengine {

class TfrxDialogControl;

// What a running dialog offers its controls; the dialog runtime sets TfrxDialogControl::Host for
// the controls of the page it runs and clears it when the page ends.
class TfrxDialogHost {
public:
    virtual ~TfrxDialogHost() = default;
    // Calls the script procedure handler with sender first, then args; a `var` parameter's new
    // value is written back into args. Returns the procedure's result (unassigned for none).
    // Called for an empty handler too: the dialog then only takes note of what changed.
    virtual platform::Variant ControlEvent(TfrxDialogControl& sender, const QString& handler,
                                           std::vector<platform::Variant>& args) = 0;
    virtual void FocusControl(TfrxDialogControl& control) = 0;
};

class TfrxDialogControl : public TfrxReportComponent {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(int Color MEMBER Color)
    Q_PROPERTY(bool Enabled MEMBER Enabled)
    Q_PROPERTY(reportengine::TfrxFont* Font READ GetFont)
    Q_PROPERTY(QString Hint MEMBER Hint)
    Q_PROPERTY(bool ParentFont MEMBER ParentFont)
    Q_PROPERTY(int TabOrder MEMBER TabOrder)
    Q_PROPERTY(QString OnClick MEMBER OnClick)
    Q_PROPERTY(QString OnDblClick MEMBER OnDblClick)
    Q_PROPERTY(QString OnEnter MEMBER OnEnter)
    Q_PROPERTY(QString OnExit MEMBER OnExit)
    Q_PROPERTY(QString OnKeyDown MEMBER OnKeyDown)
    Q_PROPERTY(QString OnKeyPress MEMBER OnKeyPress)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
public:
    using TfrxReportComponent::TfrxReportComponent;

    // Enumerations of the standard controls, stored by name in templates.
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
    enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
    Q_ENUM(TCheckBoxState)
    enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };
    Q_ENUM(TComboBoxStyle)
    enum TDTDateFormat { dfShort, dfLong };
    Q_ENUM(TDTDateFormat)
    enum TDateTimeKind { dtkDate, dtkTime };
    Q_ENUM(TDateTimeKind)
    enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
    Q_ENUM(TBevelShape)
    enum TBevelStyle { bsLowered, bsRaised };
    Q_ENUM(TBevelStyle)
    enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
    Q_ENUM(TPanelBevel)
    enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
    Q_ENUM(TScrollStyle)

    QString Caption;
    int Color = clBtnFace;
    bool Enabled = true;
    TfrxFont Font;
    QString Hint;
    bool ParentFont = true;
    int TabOrder = -1;  // -1: after the numbered ones, in list order
    QString OnClick, OnDblClick, OnEnter, OnExit, OnKeyDown, OnKeyPress, OnChange;

    // Set by the dialog runtime while the control's page runs; null otherwise.
    TfrxDialogHost* Host = nullptr;

    TfrxFont* GetFont() { return &Font; }
    const TfrxFont& UsedFont() const override {
        return ParentFont ? TfrxComponent::UsedFont() : Font;
    }
    bool IsStoredProperty(const char* name) const override {
        return qstrcmp(name, "Font") != 0 || !ParentFont;
    }

    // Fires one of this control's events: through the running dialog when there is one (so that
    // it refreshes its widgets and sees a ModalResult set by the script), else straight to the
    // report's script (nothing when handler is empty). Script errors throw script::EScriptError
    // when no dialog runs; a running dialog ends and its runner throws them.
    // New values of `var` parameters come back in args while a dialog runs.
    platform::Variant DoEvent(const QString& handler, std::vector<platform::Variant>& args);
    platform::Variant DoEvent(const QString& handler) {
        std::vector<platform::Variant> none;
        return DoEvent(handler, none);
    }
    // Moves the keyboard focus to this control while its dialog runs.
    Q_INVOKABLE void SetFocus();
};

class TfrxLabelControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(reportengine::TfrxDialogControl::TAlignment Alignment MEMBER Alignment)
    Q_PROPERTY(bool AutoSize MEMBER AutoSize)
    Q_PROPERTY(bool WordWrap MEMBER WordWrap)
public:
    using TfrxDialogControl::TfrxDialogControl;
    TAlignment Alignment = taLeftJustify;
    bool AutoSize = true;
    bool WordWrap = false;
};

class TfrxButtonControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(bool Cancel MEMBER Cancel)
    Q_PROPERTY(bool Default MEMBER Default)
    Q_PROPERTY(reportengine::TModalResult ModalResult MEMBER ModalResult)
public:
    using TfrxDialogControl::TfrxDialogControl;
    bool Cancel = false;   // Esc clicks it
    bool Default = false;  // Enter clicks it
    TModalResult ModalResult = mrNone;
};

class TfrxEditControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "Text")
    Q_PROPERTY(int MaxLength MEMBER MaxLength)
    Q_PROPERTY(QString PasswordChar MEMBER PasswordChar)
    Q_PROPERTY(bool ReadOnly MEMBER ReadOnly)
    Q_PROPERTY(QString Text MEMBER Text)
public:
    using TfrxDialogControl::TfrxDialogControl;
    int MaxLength = 0;     // 0: no limit
    QString PasswordChar;  // empty, or the character shown for each typed one
    bool ReadOnly = false;
    QString Text;
};

class TfrxMaskEditControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "Text")
    Q_PROPERTY(QString EditMask MEMBER EditMask)
    Q_PROPERTY(bool ReadOnly MEMBER ReadOnly)
    Q_PROPERTY(QString Text MEMBER Text)
public:
    using TfrxDialogControl::TfrxDialogControl;
    // "mask;keep literals;blank": 0 digit, 9 optional digit, L letter, l optional letter, A
    // letter or digit, a optional, C any character, c optional, > upper case, < lower case,
    // ! ignored, \ takes the next character literally.
    QString EditMask;
    bool ReadOnly = false;
    QString Text;
};

class TfrxMemoControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "Lines")
    Q_PROPERTY(QStringList Lines MEMBER Lines)
    Q_PROPERTY(bool ReadOnly MEMBER ReadOnly)
    Q_PROPERTY(reportengine::TfrxDialogControl::TScrollStyle ScrollBars MEMBER ScrollBars)
    Q_PROPERTY(bool WordWrap MEMBER WordWrap)
public:
    using TfrxDialogControl::TfrxDialogControl;
    QStringList Lines;
    bool ReadOnly = false;
    TScrollStyle ScrollBars = ssNone;
    bool WordWrap = true;
};

class TfrxCheckBoxControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "Checked")
    Q_PROPERTY(reportengine::TfrxDialogControl::TAlignment Alignment MEMBER Alignment)
    Q_PROPERTY(bool AllowGrayed MEMBER AllowGrayed)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked STORED false)
    Q_PROPERTY(reportengine::TfrxDialogControl::TCheckBoxState State MEMBER State)
public:
    using TfrxDialogControl::TfrxDialogControl;
    TAlignment Alignment = taRightJustify;  // the caption right of the box
    bool AllowGrayed = false;
    TCheckBoxState State = cbUnchecked;  // Checked is State == cbChecked
    bool Checked() const { return State == cbChecked; }
    void SetChecked(bool value) { State = value ? cbChecked : cbUnchecked; }
};

class TfrxRadioButtonControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "Checked")
    Q_PROPERTY(reportengine::TfrxDialogControl::TAlignment Alignment MEMBER Alignment)
    Q_PROPERTY(bool Checked MEMBER Checked)
public:
    using TfrxDialogControl::TfrxDialogControl;
    TAlignment Alignment = taRightJustify;
    bool Checked = false;  // checking one unchecks the others of the same container
};

class TfrxListBoxControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "ItemIndex")
    Q_PROPERTY(int ItemIndex MEMBER ItemIndex)
    Q_PROPERTY(QStringList Items MEMBER Items)
public:
    using TfrxDialogControl::TfrxDialogControl;
    int ItemIndex = -1;
    QStringList Items;
};

// Checked[i] and State[i] are indexed script properties (see DialogControls.cpp).
class TfrxCheckListBoxControl : public TfrxListBoxControl {
    Q_OBJECT
    Q_PROPERTY(bool AllowGrayed MEMBER AllowGrayed)
    Q_PROPERTY(QString OnClickCheck MEMBER OnClickCheck)
public:
    using TfrxListBoxControl::TfrxListBoxControl;
    bool AllowGrayed = false;
    QString OnClickCheck;
    // The state of each item (TCheckBoxState); items beyond the list are unchecked.
    std::vector<int> States;
    int StateOf(int index) const;
    void SetStateOf(int index, int state);
};

class TfrxComboBoxControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "Text")
    Q_PROPERTY(int ItemIndex MEMBER ItemIndex)
    Q_PROPERTY(QStringList Items MEMBER Items)
    Q_PROPERTY(reportengine::TfrxDialogControl::TComboBoxStyle Style MEMBER Style)
    Q_PROPERTY(QString Text MEMBER Text)
public:
    using TfrxDialogControl::TfrxDialogControl;
    int ItemIndex = -1;
    QStringList Items;
    TComboBoxStyle Style = csDropDown;  // csDropDownList: only the items can be chosen
    QString Text;
};

class TfrxDateEditControl : public TfrxDialogControl {
    Q_OBJECT
    Q_CLASSINFO("ValueProperty", "Date")
    Q_PROPERTY(double Date MEMBER Date)
    Q_PROPERTY(reportengine::TfrxDialogControl::TDTDateFormat DateFormat MEMBER DateFormat)
    Q_PROPERTY(reportengine::TfrxDialogControl::TDateTimeKind Kind MEMBER Kind)
    Q_PROPERTY(double Time MEMBER Time)
public:
    explicit TfrxDateEditControl(TfrxComponent* parent = nullptr);
    // TDateTime values: Date the whole days, Time the fraction of the day. A control created
    // without a stored Date starts at today, as the operator expects.
    double Date = 0;
    TDTDateFormat DateFormat = dfShort;
    TDateTimeKind Kind = dtkDate;
    double Time = 0;
};

// Containers: controls placed inside are owned by them.
class TfrxGroupBoxControl : public TfrxDialogControl {
    Q_OBJECT
public:
    using TfrxDialogControl::TfrxDialogControl;
};

class TfrxPanelControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(reportengine::TfrxDialogControl::TAlignment Alignment MEMBER Alignment)
    Q_PROPERTY(int BevelInner MEMBER BevelInner)
    Q_PROPERTY(int BevelOuter MEMBER BevelOuter)
    Q_PROPERTY(int BevelWidth MEMBER BevelWidth)
public:
    using TfrxDialogControl::TfrxDialogControl;
    TAlignment Alignment = taCenter;
    int BevelInner = bvNone;  // TPanelBevel
    int BevelOuter = bvRaised;
    int BevelWidth = 1;
};

class TfrxBevelControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(reportengine::TfrxDialogControl::TBevelShape Shape MEMBER Shape)
    Q_PROPERTY(reportengine::TfrxDialogControl::TBevelStyle Style MEMBER Style)
public:
    using TfrxDialogControl::TfrxDialogControl;
    TBevelShape Shape = bsBox;
    TBevelStyle Style = bsLowered;
};

class TfrxImageControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize MEMBER AutoSize)
    Q_PROPERTY(bool Center MEMBER Center)
    Q_PROPERTY(QString FileName MEMBER FileName)
    Q_PROPERTY(bool Stretch MEMBER Stretch)
public:
    using TfrxDialogControl::TfrxDialogControl;
    bool AutoSize = false;
    bool Center = false;
    QString FileName;  // a picture file; a relative name is looked up beside the template
    bool Stretch = false;
};

// Registers the dialog-control classes with the script engine (ancestors, Checked[i] and
// State[i] of the check list box, the enumeration names as constants, and ShowModal of a
// dialog page, run by the report's DialogRunner). Called by the class
// registry; calling it again does nothing.
void RegisterDialogControlScriptBinding();

}  // namespace reportengine
