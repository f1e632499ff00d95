#include "reportengine/model/DialogControls.h"

#include "platform/DateTime.h"
#include "reportengine/model/DialogRunner.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/script/Library.h"

#include <QMetaEnum>
#include <cmath>

namespace reportengine {

using platform::Variant;

Variant TfrxDialogControl::DoEvent(const QString& handler, std::vector<Variant>& args) {
    if (Host)  // even without a handler: a button's ModalResult still closes the dialog
        return Host->ControlEvent(*this, handler, args);
    if (handler.isEmpty())
        return Variant();
    TfrxReport* report = Report();
    return report ? report->DoEvent(handler, this, args) : Variant();
}

void TfrxDialogControl::SetFocus() {
    if (Host)
        Host->FocusControl(*this);
}

int TfrxCheckListBoxControl::StateOf(int index) const {
    return index >= 0 && size_t(index) < States.size() ? States[size_t(index)] : cbUnchecked;
}

void TfrxCheckListBoxControl::SetStateOf(int index, int state) {
    if (index < 0)
        return;
    if (size_t(index) >= States.size())
        States.resize(size_t(index) + 1, cbUnchecked);
    States[size_t(index)] = state;
}

TfrxDateEditControl::TfrxDateEditControl(TfrxComponent* parent) : TfrxDialogControl(parent) {
    Date = std::floor(platform::QDateTimeToDateTime(QDateTime::currentDateTime()));
}

namespace {

Variant ServeCheckList(script::HostCall& call) {
    auto* list = qobject_cast<TfrxCheckListBoxControl*>(call.Object);
    if (!list)
        return Variant();
    const int index = int(call.Args.at(0).ToInt64());
    if (index < 0 || index >= list->Items.size())
        throw platform::Exception(QStringLiteral("индекс %1 вне границ списка").arg(index));
    const bool isState = call.Member.compare(QLatin1String("State"), Qt::CaseInsensitive) == 0;
    if (call.IsWrite) {
        const int state = isState ? int(call.Value.ToInt64())
                                  : (call.Value.ToBool() ? TfrxDialogControl::cbChecked
                                                         : TfrxDialogControl::cbUnchecked);
        list->SetStateOf(index, state);
        return Variant();
    }
    const int state = list->StateOf(index);
    return isState ? Variant(state) : Variant(state == TfrxDialogControl::cbChecked);
}

// DialogPage1.ShowModal from a report's OnRunDialogs handler: the report's runner shows it; a
// report without one takes the page as confirmed, as the engine does.
Variant ServeShowModal(script::HostCall& call) {
    auto* page = qobject_cast<TfrxDialogPage*>(call.Object);
    TfrxReport* report = page ? page->Report() : nullptr;
    if (!report || !report->DialogRunner)
        return Variant(int(mrOk));
    return Variant(report->DialogRunner->RunDialogPage(*page));
}

void AddDialogControlClasses(script::FunctionLibrary& lib) {
    const QMetaObject& meta = TfrxDialogControl::staticMetaObject;
    for (int e = meta.enumeratorOffset(); e < meta.enumeratorCount(); ++e) {
        const QMetaEnum en = meta.enumerator(e);
        for (int k = 0; k < en.keyCount(); ++k) {
            const QString name = QString::fromLatin1(en.key(k));
            if (!lib.FindConstant(name))
                lib.AddConstant(name, en.value(k));
        }
    }
    lib.AddClass(QStringLiteral("TfrxDialogPage"), QStringLiteral("TfrxComponent"))
        .AddMethod(QStringLiteral("function ShowModal: Integer"), ServeShowModal);
    lib.AddClass(QStringLiteral("TfrxDialogControl"), QStringLiteral("TfrxComponent"));
    lib.AddClass(QStringLiteral("TfrxListBoxControl"), QStringLiteral("TfrxDialogControl"));
    lib.AddClass(QStringLiteral("TfrxCheckListBoxControl"), QStringLiteral("TfrxListBoxControl"))
        .AddProperty(QStringLiteral("property Checked[Index: Integer]: Boolean"), false,
                     ServeCheckList)
        .AddProperty(QStringLiteral("property State[Index: Integer]: Integer"), false,
                     ServeCheckList);
}

}  // namespace

void RegisterDialogControlScriptBinding() {
    static const bool registered = [] {
        script::FunctionLibrary::RegisterModule(AddDialogControlClasses);
        return true;
    }();
    (void)registered;
}

}  // namespace reportengine
