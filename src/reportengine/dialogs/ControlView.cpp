#include "reportengine/dialogs/ControlView.h"

#include "reportengine/dialogs/StandardViews.h"
#include "reportengine/model/DialogControls.h"
#include "reportengine/render/Colors.h"
#include "reportengine/render/FontMapping.h"

#include <QHash>
#include <cmath>

namespace reportengine {

using platform::Variant;

namespace {

// A control of a class no view knows: an empty area of its size.
class TPlainView : public TfrxControlView {
public:
    using TfrxControlView::TfrxControlView;
    bool TakesFocus() const override { return false; }

protected:
    QWidget* CreateWidget(QWidget* parent) override { return new QWidget(parent); }
};

QHash<const QMetaObject*, TfrxControlViewFactory>& Factories() {
    static QHash<const QMetaObject*, TfrxControlViewFactory> table;
    static bool standard = false;
    if (!standard) {
        standard = true;  // before registering: registering comes back here
        RegisterStandardViews();
    }
    return table;
}

QFont DialogFont(const TfrxFont& f) {
    QFont font(MapFontFamily(f.Name));
    font.setPixelSize(std::max(1, std::abs(f.Height)));
    font.setBold(f.Style & 1);
    font.setItalic(f.Style & 2);
    font.setUnderline(f.Style & 4);
    font.setStrikeOut(f.Style & 8);
    return font;
}

// System colours (negative) and "none" keep the widget's own palette.
bool IsOwnColor(int color) {
    return color >= 0 && color != clNone;
}

}  // namespace

void TfrxControlView::Build(QWidget* parent) {
    FWidget = CreateWidget(parent);
    FWidget->setObjectName(FControl.objectName());
    Refresh();
}

void TfrxControlView::Refresh() {
    if (!FWidget)
        return;
    FUpdating = true;
    struct Done {
        bool& Flag;
        ~Done() { Flag = false; }
    } done{FUpdating};
    const TfrxDialogControl& c = FControl;
    const QRect geometry(int(std::lround(c.Left)), int(std::lround(c.Top)),
                         int(std::lround(c.Width)), int(std::lround(c.Height)));
    if (FWidget->geometry() != geometry)
        FWidget->setGeometry(geometry);
    FWidget->setEnabled(c.Enabled);
    FWidget->setToolTip(c.Hint);
    const QFont font = DialogFont(c.UsedFont());
    if (FWidget->font() != font)
        FWidget->setFont(font);
    QPalette palette = FWidget->palette();
    const QColor text = c.UsedFont().Color >= 0 ? ColorFromInt(c.UsedFont().Color)
                                                : QPalette().color(QPalette::WindowText);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    if (IsOwnColor(c.Color)) {
        palette.setColor(QPalette::Window, ColorFromInt(c.Color));
        palette.setColor(QPalette::Base, ColorFromInt(c.Color));
        palette.setColor(QPalette::Button, ColorFromInt(c.Color));
    }
    FWidget->setAutoFillBackground(IsOwnColor(c.Color));
    FWidget->setPalette(palette);
    UpdateWidget();
    // Last, so that a widget hidden by the script never flashes with its old contents.
    FWidget->setVisible(c.Visible);
}

Variant TfrxControlView::Fire(const QString& handler, std::vector<Variant> args) {
    if (FUpdating)
        return Variant();
    return FControl.DoEvent(handler, args);
}

void TfrxControlViews::Register(const QMetaObject& meta, TfrxControlViewFactory factory) {
    Factories().insert(&meta, std::move(factory));
}

std::unique_ptr<TfrxControlView> TfrxControlViews::Create(TfrxDialogControl& control) {
    const auto& table = Factories();
    for (const QMetaObject* m = control.metaObject(); m; m = m->superClass()) {
        auto it = table.find(m);
        if (it != table.end())
            return it.value()(control);
    }
    return std::make_unique<TPlainView>(control);
}

}  // namespace reportengine
