// TfrxControlView: the widget side of one dialog control while its page runs, and
// TfrxControlViews, the table that says which view shows which control class.
//
// The control (model) is the truth. A view builds its widget from the control, copies every
// change the operator makes back into the control at once (then fires the control's OnChange or
// OnClick through Fire), and refreshes its widget from the control in UpdateWidget, which the
// dialog calls after building and after every script event. While UpdateWidget runs, Updating()
// is true: widget signals raised by the refresh are not the operator's and must not be copied
// back nor fire events. Focus (OnEnter, OnExit), keys (OnKeyDown, OnKeyPress), double clicks and
// the clicks of controls that have no click signal of their own are handled by the dialog for
// every view; a view whose widget reports clicks itself says so with ReportsClicks.
//
// A host control (a tree, a profile list) supplies its own widget by deriving a view:
//
//     class TTreeViewView : public TfrxControlView {
//     public:
//         using TfrxControlView::TfrxControlView;
//     protected:
//         QWidget* CreateWidget(QWidget* parent) override { ... return new QTreeView(parent); }
//         void UpdateWidget() override { TfrxControlView::UpdateWidget(); ... }
//     };
//     TfrxControlViews::Register<TfrxTreeView, TTreeViewView>();   // at start-up
//
// Its own events go through TfrxDialogControl::DoEvent (or Fire here), never straight to the
// report, so that the dialog refreshes the other controls and honours a ModalResult the script
// sets. Classes without a registered view take the view of their nearest registered ancestor.
//
// Lifetime: a view and its widget belong to one TfrxDialogForm and die with it; the control
// outlives them. Thread contract: UI thread only.
#pragma once

#include "platform/Variant.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace reportengine {

class TfrxDialogControl;

class TfrxControlView {
public:
    explicit TfrxControlView(TfrxDialogControl& control) : FControl(control) {}
    virtual ~TfrxControlView() = default;
    TfrxControlView(const TfrxControlView&) = delete;
    TfrxControlView& operator=(const TfrxControlView&) = delete;

    TfrxDialogControl& Control() const { return FControl; }
    QWidget* Widget() const { return FWidget; }
    // Creates the widget inside parent and shows the control's values in it.
    void Build(QWidget* parent);
    // The control's values into the widget: geometry, visibility, enabled state, hint, font and
    // colour here; derived views add their own values and call this first.
    void Refresh();
    // Where the controls owned by this one are placed (group box, panel); null for others.
    virtual QWidget* ChildArea() const { return nullptr; }
    // True when the widget fires OnClick itself (buttons, check boxes, lists).
    virtual bool ReportsClicks() const { return false; }
    // True when the widget can take the keyboard focus (tab order).
    virtual bool TakesFocus() const { return true; }

protected:
    virtual QWidget* CreateWidget(QWidget* parent) = 0;
    virtual void UpdateWidget() {}
    bool Updating() const { return FUpdating; }
    // Fires a script event of the control after the operator changed or clicked it (an empty
    // handler still lets the dialog take note); nothing while Updating().
    platform::Variant Fire(const QString& handler, std::vector<platform::Variant> args = {});

private:
    TfrxDialogControl& FControl;
    QPointer<QWidget> FWidget;
    bool FUpdating = false;
};

using TfrxControlViewFactory = std::function<std::unique_ptr<TfrxControlView>(TfrxDialogControl&)>;

class TfrxControlViews {
public:
    // The view of objects of the class meta and of its descendants without a view of their own.
    static void Register(const QMetaObject& meta, TfrxControlViewFactory factory);
    template <class TControl, class TView>
    static void Register() {
        Register(TControl::staticMetaObject, [](TfrxDialogControl& control) {
            return std::unique_ptr<TfrxControlView>(new TView(static_cast<TControl&>(control)));
        });
    }
    // The view of the nearest registered class; a plain widget's view for none.
    static std::unique_ptr<TfrxControlView> Create(TfrxDialogControl& control);
};

}  // namespace reportengine
