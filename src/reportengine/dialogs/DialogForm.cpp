#include "reportengine/dialogs/DialogForm.h"

#include "platform/MessageBox.h"
#include "reportengine/dialogs/ControlView.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/render/Colors.h"
#include "reportengine/render/FontMapping.h"
#include "reportengine/script/Script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

namespace reportengine {

using platform::Variant;

namespace {

int ExtraInt(const TfrxComponent& c, const char* name, int fallback) {
    for (const auto& [key, value] : c.ExtraAttributes)
        if (key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int v = int(value.toDouble(&ok));
            return ok ? v : fallback;
        }
    return fallback;
}

// Controls of one container in tab order: numbered ones by TabOrder, then the rest in list order.
std::vector<TfrxDialogControl*> ControlsOf(const TfrxComponent& owner) {
    std::vector<TfrxDialogControl*> controls;
    for (TfrxComponent* c : owner.Objects())
        if (auto* control = qobject_cast<TfrxDialogControl*>(c))
            controls.push_back(control);
    std::stable_sort(controls.begin(), controls.end(), [](auto* a, auto* b) {
        const int x = a->TabOrder < 0 ? INT_MAX : a->TabOrder;
        const int y = b->TabOrder < 0 ? INT_MAX : b->TabOrder;
        return x < y;
    });
    return controls;
}

}  // namespace

TfrxDialogForm::TfrxDialogForm(TfrxDialogPage& page, QWidget* parent)
    : QDialog(parent), FPage(page) {
    setObjectName(page.objectName());
    setWindowTitle(page.Caption);
    QFont font(MapFontFamily(page.Font.Name));
    font.setPixelSize(std::max(1, std::abs(page.Font.Height)));
    setFont(font);
    if (page.Color >= 0 && page.Color != clNone) {
        QPalette p = palette();
        p.setColor(QPalette::Window, ColorFromInt(page.Color));
        setPalette(p);
    }
    std::vector<TfrxControlView*> order;
    Build(page, this, order);
    for (TfrxControlView* view : order)
        if (view->TakesFocus())
            FTabChain << view->Widget();
    for (qsizetype i = 1; i < FTabChain.size(); ++i)
        setTabOrder(FTabChain[i - 1], FTabChain[i]);
    for (auto& view : FViews) {
        view->Widget()->installEventFilter(this);
        for (QWidget* w : view->Widget()->findChildren<QWidget*>())
            w->installEventFilter(this);
    }
    SetGeometry();
    connect(qApp, &QApplication::focusChanged, this, &TfrxDialogForm::FocusChanged);
}

TfrxDialogForm::~TfrxDialogForm() {
    // Widgets die after the views and this class: what they signal meanwhile reaches nobody.
    disconnect(qApp, nullptr, this, nullptr);
    for (QWidget* w : findChildren<QWidget*>())
        w->blockSignals(true);
    for (auto& view : FViews)
        if (view->Control().Host == this)
            view->Control().Host = nullptr;
}

void TfrxDialogForm::Build(TfrxComponent& owner, QWidget* area,
                           std::vector<TfrxControlView*>& order) {
    for (TfrxDialogControl* control : ControlsOf(owner)) {
        std::unique_ptr<TfrxControlView> view = TfrxControlViews::Create(*control);
        TfrxControlView* v = view.get();
        FViews.push_back(std::move(view));
        v->Build(area);
        FViewOf.insert(v->Widget(), v);
        control->Host = this;
        order.push_back(v);
        if (QWidget* inner = v->ChildArea())
            Build(*control, inner, order);
    }
}

void TfrxDialogForm::SetGeometry() {
    // Stored sizes are the window's outer size; the client area is what Qt sizes.
    const int w = ExtraInt(FPage, "ClientWidth", int(FPage.Width) - 8);
    const int h = ExtraInt(FPage, "ClientHeight", int(FPage.Height) - 28);
    resize(std::max(w, 50), std::max(h, 30));
    switch (FPage.BorderStyle) {
        case bsNone:
            setWindowFlag(Qt::FramelessWindowHint);
            [[fallthrough]];
        case bsSingle:
        case bsDialog:
        case bsToolWindow:
            setFixedSize(size());
            break;
        default:
            break;
    }
    if (FPage.Position == poDesigned) {
        move(int(FPage.Left), int(FPage.Top));
    } else if (FPage.Position == poScreenCenter || FPage.Position == poDesktopCenter ||
               !parentWidget()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
}

TfrxControlView* TfrxDialogForm::ViewOf(const TfrxDialogControl* control) const {
    for (const auto& view : FViews)
        if (&view->Control() == control)
            return view.get();
    return nullptr;
}

TfrxButtonControl* TfrxDialogForm::DefaultButton() const {
    for (const auto& view : FViews)
        if (auto* b = qobject_cast<TfrxButtonControl*>(&view->Control()))
            if (b->Default && b->Visible && b->Enabled)
                return b;
    return nullptr;
}

TfrxButtonControl* TfrxDialogForm::CancelButton() const {
    for (const auto& view : FViews)
        if (auto* b = qobject_cast<TfrxButtonControl*>(&view->Control()))
            if (b->Cancel && b->Visible && b->Enabled)
                return b;
    return nullptr;
}

int TfrxDialogForm::RunModal() {
    FPage.ModalResult = mrNone;
    FModal = true;
    const int result = platform::runModal(*this);
    FModal = false;
    return result == mrNone ? int(mrCancel) : result;  // termination: at once, cancelled
}

void TfrxDialogForm::PlayShow() {
    CallEvent(FPage.OnShow);
    Activate(true);
}

void TfrxDialogForm::RefreshAll() {
    for (auto& view : FViews)
        view->Refresh();
}

void TfrxDialogForm::Rethrow() const {
    if (FError)
        std::rethrow_exception(FError);
}

void TfrxDialogForm::CallEvent(const QString& handler) {
    std::vector<Variant> args;
    Dispatch(&FPage, handler, args);
}

Variant TfrxDialogForm::ControlEvent(TfrxDialogControl& sender, const QString& handler,
                                     std::vector<Variant>& args) {
    return Dispatch(&sender, handler, args);
}

Variant TfrxDialogForm::Dispatch(QObject* sender, const QString& handler,
                                 std::vector<Variant>& args) {
    if (FError)
        return Variant();
    Variant result;
    script::Script* script = FPage.Report() ? FPage.Report()->ScriptEngine() : nullptr;
    if (!handler.isEmpty() && script) {
        args.insert(args.begin(), Variant::FromObject(sender));
        try {
            result = script->CallProcedureRef(handler, args);
        } catch (...) {
            FError = std::current_exception();
            done(mrCancel);
            return Variant();
        }
        args.erase(args.begin());
    }
    AfterEvent();
    return result;
}

void TfrxDialogForm::AfterEvent() {
    RefreshAll();
    if (FModal && !FClosing && FPage.ModalResult != mrNone)
        done(FPage.ModalResult);
}

void TfrxDialogForm::done(int result) {
    if (FClosing)
        return;
    FClosing = true;
    // Closed by the window's close button or Esc without a cancel button: a cancel.
    const int closed = FError || result == mrNone ? int(mrCancel) : result;
    FPage.ModalResult = closed;
    CallEvent(FPage.OnClose);
    if (FActive)
        Activate(false);
    QDialog::done(closed);
}

void TfrxDialogForm::Activate(bool active) {
    if (active == FActive)
        return;
    FActive = active;
    CallEvent(active ? FPage.OnActivate : FPage.OnDeactivate);
}

void TfrxDialogForm::FocusControl(TfrxDialogControl& control) {
    if (TfrxControlView* view = ViewOf(&control))
        view->Widget()->setFocus(Qt::OtherFocusReason);
}

void TfrxDialogForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        CallEvent(FPage.OnShow);
    QDialog::showEvent(event);
}

void TfrxDialogForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !FClosing)
        Activate(isActiveWindow());
    QDialog::changeEvent(event);
}

void TfrxDialogForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (TfrxButtonControl* cancel = CancelButton())
            if (auto* button = qobject_cast<QAbstractButton*>(ViewOf(cancel)->Widget())) {
                button->click();
                return;
            }
        done(mrCancel);
        return;
    }
    QDialog::keyPressEvent(event);
}

TfrxControlView* TfrxDialogForm::OwnerOf(QObject* watched) const {
    for (QWidget* w = qobject_cast<QWidget*>(watched); w && w != this; w = w->parentWidget())
        if (TfrxControlView* view = FViewOf.value(w))
            return view;
    return nullptr;
}

// An input event that a child ignored goes on to its parents as the same event; a control
// answers only where it arrived first.
bool TfrxDialogForm::IsPropagation(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool propagated = event == FLastEvent && FLastWatched && widget &&
                            widget != FLastWatched && widget->isAncestorOf(FLastWatched);
    FLastEvent = event;
    FLastWatched = widget;
    return propagated;
}

bool TfrxDialogForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return QDialog::eventFilter(watched, event);
    TfrxControlView* view = OwnerOf(watched);
    if (!view || FError || FReplaying || IsPropagation(watched, event))
        return QDialog::eventFilter(watched, event);
    TfrxDialogControl& c = view->Control();
    if (type == QEvent::KeyPress) {
        auto& key = static_cast<QKeyEvent&>(*event);
        return KeyDown(*view, key) || KeyPress(*view, watched, key);
    }
    auto& mouse = static_cast<QMouseEvent&>(*event);
    if (mouse.button() != Qt::LeftButton)
        return false;
    if (type == QEvent::MouseButtonDblClick) {
        if (!c.OnDblClick.isEmpty())
            c.DoEvent(c.OnDblClick);
    } else if (!view->ReportsClicks() && !c.OnClick.isEmpty() &&
               static_cast<QWidget*>(watched)->rect().contains(mouse.position().toPoint())) {
        c.DoEvent(c.OnClick);
    }
    return false;
}

bool TfrxDialogForm::KeyDown(TfrxControlView& view, QKeyEvent& event) {
    TfrxDialogControl& c = view.Control();
    const int vk = VirtualKeyOf(event.key(), event.modifiers());
    if (c.OnKeyDown.isEmpty() || vk == 0)
        return false;
    std::vector<Variant> args{Variant(uint16_t(vk)), Variant(ShiftStateOf(event.modifiers()))};
    c.DoEvent(c.OnKeyDown, args);
    return FError || args.at(0).ToInt64() == 0;
}

bool TfrxDialogForm::KeyPress(TfrxControlView& view, QObject* watched, QKeyEvent& event) {
    TfrxDialogControl& c = view.Control();
    const QString text = event.text();
    if (c.OnKeyPress.isEmpty() || text.size() != 1 || text[0].isNull())
        return false;
    std::vector<Variant> args{Variant(text)};
    c.DoEvent(c.OnKeyPress, args);
    if (FError)
        return true;
    const QString now = args.at(0).ToString();
    if (now.isEmpty() || now[0].isNull())
        return true;
    if (now.left(1) == text)
        return false;
    // The handler replaced the character: the widget gets the new one instead.
    QKeyEvent replaced(QEvent::KeyPress, 0, event.modifiers(), now.left(1));
    FReplaying = true;
    QCoreApplication::sendEvent(watched, &replaced);
    FReplaying = false;
    return true;
}

void TfrxDialogForm::FocusChanged(QWidget* old, QWidget* now) {
    if (FError || FClosing)
        return;
    TfrxControlView* from = OwnerOf(old);
    TfrxControlView* to = OwnerOf(now);
    if (from == to)
        return;
    if (from && !from->Control().OnExit.isEmpty())
        from->Control().DoEvent(from->Control().OnExit);
    if (to && !to->Control().OnEnter.isEmpty())
        to->Control().DoEvent(to->Control().OnEnter);
}

int VirtualKeyOf(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return (modifiers & Qt::KeypadModifier) ? 96 + (key - Qt::Key_0) : key;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;  // Qt's letter codes are the upper-case ASCII ones, as are the virtual keys
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    static const std::pair<int, int> keys[] = {
        {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},       {Qt::Key_Backtab, 9},  {Qt::Key_Return, 13},
        {Qt::Key_Enter, 13},    {Qt::Key_Shift, 16},    {Qt::Key_Control, 17}, {Qt::Key_Alt, 18},
        {Qt::Key_Pause, 19},    {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},  {Qt::Key_Space, 32},
        {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},     {Qt::Key_Home, 36},
        {Qt::Key_Left, 37},     {Qt::Key_Up, 38},       {Qt::Key_Right, 39},   {Qt::Key_Down, 40},
        {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46}};
    for (const auto& [qt, vk] : keys)
        if (qt == key)
            return vk;
    return 0;
}

int ShiftStateOf(Qt::KeyboardModifiers modifiers) {
    return ((modifiers & Qt::ShiftModifier) ? 1 : 0) | ((modifiers & Qt::AltModifier) ? 2 : 0) |
           ((modifiers & Qt::ControlModifier) ? 4 : 0);
}

}  // namespace reportengine
