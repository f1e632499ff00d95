// The model of dialog controls: the properties and event names a dialog page's controls carry in
// a template. Running them as Qt widgets is the dialog runtime's business; host controls (a tree
// view, a profile control) derive from TfrxDialogControl and register through the class registry.
// Controls inside a group box or panel are owned by it.
// Thread contract: the thread that owns the report.
#pragma once

#include "reportengine/model/Component.h"

#include <QStringList>

namespace reportengine {

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
public:
    using TfrxReportComponent::TfrxReportComponent;
    QString Caption;
    int Color = clBtnFace;
    bool Enabled = true;
    TfrxFont Font;
    QString Hint;
    bool ParentFont = true;
    int TabOrder = -1;
    QString OnClick, OnDblClick, OnEnter, OnExit, OnKeyDown, OnKeyPress;

    TfrxFont* GetFont() { return &Font; }
    const TfrxFont& UsedFont() const override {
        return ParentFont ? TfrxComponent::UsedFont() : Font;
    }
    bool IsStoredProperty(const char* name) const override {
        return qstrcmp(name, "Font") != 0 || !ParentFont;
    }
};

class TfrxLabelControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize MEMBER AutoSize)
    Q_PROPERTY(bool WordWrap MEMBER WordWrap)
public:
    using TfrxDialogControl::TfrxDialogControl;
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
    bool Cancel = false;
    bool Default = false;
    TModalResult ModalResult = mrNone;
};

class TfrxEditControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(int MaxLength MEMBER MaxLength)
    Q_PROPERTY(QString PasswordChar MEMBER PasswordChar)
    Q_PROPERTY(bool ReadOnly MEMBER ReadOnly)
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
public:
    using TfrxDialogControl::TfrxDialogControl;
    int MaxLength = 0;
    QString PasswordChar;
    bool ReadOnly = false;
    QString Text;
    QString OnChange;
};

class TfrxMemoControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(QStringList Lines MEMBER Lines)
    Q_PROPERTY(bool ReadOnly MEMBER ReadOnly)
    Q_PROPERTY(bool WordWrap MEMBER WordWrap)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
public:
    using TfrxDialogControl::TfrxDialogControl;
    QStringList Lines;
    bool ReadOnly = false;
    bool WordWrap = true;
    QString OnChange;
};

class TfrxCheckBoxControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(bool Checked MEMBER Checked)
public:
    using TfrxDialogControl::TfrxDialogControl;
    bool Checked = false;
};

class TfrxRadioButtonControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(bool Checked MEMBER Checked)
public:
    using TfrxDialogControl::TfrxDialogControl;
    bool Checked = false;
};

class TfrxListBoxControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex MEMBER ItemIndex)
    Q_PROPERTY(QStringList Items MEMBER Items)
public:
    using TfrxDialogControl::TfrxDialogControl;
    int ItemIndex = -1;
    QStringList Items;
};

class TfrxComboBoxControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex MEMBER ItemIndex)
    Q_PROPERTY(QStringList Items MEMBER Items)
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
public:
    using TfrxDialogControl::TfrxDialogControl;
    int ItemIndex = -1;
    QStringList Items;
    QString Text;
    QString OnChange;
};

class TfrxDateEditControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(double Date MEMBER Date)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
public:
    using TfrxDialogControl::TfrxDialogControl;
    double Date = 0;  // TDateTime; 0 means today when the dialog opens
    QString OnChange;
};

// Containers: controls placed inside are owned by them.
class TfrxGroupBoxControl : public TfrxDialogControl {
    Q_OBJECT
public:
    using TfrxDialogControl::TfrxDialogControl;
};

class TfrxPanelControl : public TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(int BevelInner MEMBER BevelInner)
    Q_PROPERTY(int BevelOuter MEMBER BevelOuter)
public:
    using TfrxDialogControl::TfrxDialogControl;
    int BevelInner = 0;  // 0 none, 1 lowered, 2 raised
    int BevelOuter = 2;
};

}  // namespace reportengine
