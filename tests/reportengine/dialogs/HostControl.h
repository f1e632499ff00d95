// A host control as the program's own dialog controls are made: derived from TfrxDialogControl
// with an event of its own, shown by a view of its own; and a standard control's descendant that
// brings no view and borrows its ancestor's.
// Thread contract: UI thread (tests).
#pragma once

#include "reportengine/dialogs/ControlView.h"
#include "reportengine/model/DialogControls.h"

#include <QListWidget>

namespace dialogtest {

class TfrxPickControl : public reportengine::TfrxDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString OnPick MEMBER OnPick)
public:
    using TfrxDialogControl::TfrxDialogControl;
    QString OnPick;
    QString Picked;
};

class TfrxPlainEditControl : public reportengine::TfrxEditControl {
    Q_OBJECT
public:
    using TfrxEditControl::TfrxEditControl;
};

class TPickView : public reportengine::TfrxControlView {
public:
    explicit TPickView(TfrxPickControl& control) : TfrxControlView(control), FPick(control) {}

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* list = new QListWidget(parent);
        list->addItems({QStringLiteral("one"), QStringLiteral("two")});
        QObject::connect(list, &QListWidget::currentTextChanged, list, [this](const QString& t) {
            FPick.Picked = t;
            Fire(FPick.OnPick);
        });
        return list;
    }

private:
    TfrxPickControl& FPick;
};

}  // namespace dialogtest
