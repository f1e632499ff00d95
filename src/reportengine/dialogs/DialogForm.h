// TfrxDialogForm: one dialog page built as a QDialog. It builds a view (ControlView.h) for every
// control of the page (controls of a group box or panel inside it), chains the tab order by
// TabOrder, and while it lives it is the controls' TfrxDialogHost: every script event of the page
// and its controls runs through CallEvent/ControlEvent, after which every widget is refreshed from
// the model and a ModalResult the script set on the page closes the dialog.
//
// Events: OnShow when shown, OnActivate/OnDeactivate as the window gains and loses activation
// (OnDeactivate also after OnClose when it was active), OnClose when it closes for any reason;
// OnClick, OnDblClick, OnEnter, OnExit, OnKeyDown (var Key: Word; Shift: Integer; setting Key to
// 0 swallows the key), OnKeyPress (var Key: Char; #0 swallows it) and OnChange for controls.
// Enter clicks the default button, Esc the cancel button (or closes with mrCancel without one).
// A script error in any handler ends the dialog with mrCancel and is kept for the runner
// (Rethrow): exceptions never cross Qt's event loop.
//
// Lifetime: the page and its report outlive the form; the form sets each control's Host and
// clears it when it is destroyed. Thread contract: UI thread only.
#pragma once

#include "platform/Variant.h"
#include "reportengine/model/DialogControls.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <exception>
#include <memory>
#include <vector>

namespace reportengine {

class TfrxControlView;
class TfrxDialogPage;
class TfrxButtonControl;

class TfrxDialogForm : public QDialog, public TfrxDialogHost {
    Q_OBJECT
public:
    explicit TfrxDialogForm(TfrxDialogPage& page, QWidget* parent = nullptr);
    ~TfrxDialogForm() override;

    TfrxDialogPage& Page() const { return FPage; }
    // Shows the dialog modally (platform::runModal) and returns its TModalResult; closing it
    // any other way than by a ModalResult gives mrCancel.
    int RunModal();
    // The page's OnShow and OnActivate as if it were shown, for runs without a screen.
    void PlayShow();
    // Ends the dialog with result (OnClose, then OnDeactivate after PlayShow or activation).
    void Close(int result) { done(result); }
    // Every widget from its control, as after a script event.
    void RefreshAll();
    // The view showing a control of the page; null for none.
    TfrxControlView* ViewOf(const TfrxDialogControl* control) const;
    // Widgets taking the focus, in tab order.
    QList<QWidget*> TabChain() const { return FTabChain; }
    TfrxButtonControl* DefaultButton() const;
    TfrxButtonControl* CancelButton() const;
    // Throws the script error that ended the dialog, if any.
    void Rethrow() const;
    bool Failed() const { return bool(FError); }

    // Runs a page-level event (OnShow ...) with the page as sender.
    void CallEvent(const QString& handler);
    platform::Variant ControlEvent(TfrxDialogControl& sender, const QString& handler,
                                   std::vector<platform::Variant>& args) override;
    void FocusControl(TfrxDialogControl& control) override;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    platform::Variant Dispatch(QObject* sender, const QString& handler,
                               std::vector<platform::Variant>& args);
    void AfterEvent();
    void Build(TfrxComponent& owner, QWidget* area, std::vector<TfrxControlView*>& order);
    void SetGeometry();
    void Activate(bool active);
    TfrxControlView* OwnerOf(QObject* watched) const;
    bool IsPropagation(QObject* watched, QEvent* event);
    bool KeyDown(TfrxControlView& view, QKeyEvent& event);
    bool KeyPress(TfrxControlView& view, QObject* watched, QKeyEvent& event);
    void FocusChanged(QWidget* old, QWidget* now);

    TfrxDialogPage& FPage;
    std::vector<std::unique_ptr<TfrxControlView>> FViews;
    QHash<QWidget*, TfrxControlView*> FViewOf;
    QList<QWidget*> FTabChain;
    std::exception_ptr FError;
    bool FModal = false;
    bool FClosing = false;
    bool FActive = false;
    bool FReplaying = false;
    QEvent* FLastEvent = nullptr;
    QPointer<QWidget> FLastWatched;
};

// The Windows virtual-key code scripts expect for a Qt key (VK_RETURN 13, 'A' 65, VK_F1 112 ...);
// 0 for keys without one. Shift state bits: 1 Shift, 2 Alt, 4 Ctrl.
int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
int ShiftStateOf(Qt::KeyboardModifiers modifiers);

}  // namespace reportengine
