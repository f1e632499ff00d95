#include "reportengine/dialogs/DialogRunners.h"

#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "reportengine/dialogs/ControlView.h"
#include "reportengine/dialogs/DialogForm.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/script/HostValues.h"

#include <QAbstractButton>
#include <QMetaClassInfo>

namespace reportengine {

using platform::Variant;

namespace {

// A date, a date and time or a time of day as a TDateTime; false for other texts.
bool ParseDateTime(const QString& text, double& result) {
    const QString t = text.trimmed();
    for (const char* format : {"yyyy-MM-dd", "dd.MM.yyyy"}) {
        const QDate d = QDate::fromString(t, QLatin1String(format));
        if (d.isValid()) {
            result = platform::QDateTimeToDateTime(QDateTime(d, QTime(0, 0)));
            return true;
        }
    }
    QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (dt.isValid()) {
        result = platform::QDateTimeToDateTime(dt);
        return true;
    }
    for (const char* format : {"HH:mm", "HH:mm:ss"}) {
        const QTime time = QTime::fromString(t, QLatin1String(format));
        if (time.isValid()) {
            result = time.msecsSinceStartOfDay() / double(platform::MSecsPerDay);
            return true;
        }
    }
    return false;
}

QString ValuePropertyOf(const QObject& control) {
    const QMetaObject* meta = control.metaObject();
    const int i = meta->indexOfClassInfo("ValueProperty");
    return i < 0 ? QString() : QString::fromLatin1(meta->classInfo(i).value());
}

}  // namespace

void ApplyAnswer(TfrxDialogControl& control, const QString& property, const Variant& value) {
    const QString name = property.isEmpty() ? ValuePropertyOf(control) : property;
    const QMetaObject* meta = control.metaObject();
    int index = -1;
    for (int i = 0; i < meta->propertyCount() && index < 0 && !name.isEmpty(); ++i)
        if (name.compare(QLatin1String(meta->property(i).name()), Qt::CaseInsensitive) == 0)
            index = i;
    if (index < 0 || !meta->property(index).isWritable())
        throw platform::Exception(QStringLiteral("Ответ для \"%1\": нет свойства \"%2\"")
                                      .arg(control.objectName(), name));
    const QMetaProperty p = meta->property(index);
    // A list the operator can only choose from takes only one of its items.
    auto* combo = qobject_cast<TfrxComboBoxControl*>(&control);
    if (combo && combo->Style == TfrxDialogControl::csDropDownList &&
        qstrcmp(p.name(), "Text") == 0 && !combo->Items.contains(value.ToString()))
        throw platform::Exception(QStringLiteral("Ответ для \"%1\": в списке нет \"%2\"")
                                      .arg(control.objectName(), value.ToString()));
    Variant v = value;
    double when = 0;
    if (p.metaType().id() == QMetaType::Double && v.Type() == platform::VarType::String &&
        ParseDateTime(v.ToString(), when))
        v = Variant(when);
    try {
        script::WriteProperty(&control, p, v);
    } catch (const platform::Exception& e) {
        throw platform::Exception(
            QStringLiteral("Ответ для \"%1.%2\": %3")
                .arg(control.objectName(), QLatin1String(p.name()), e.Message()));
    }
}

int TfrxModalDialogRunner::RunDialogPage(TfrxDialogPage& page) {
    TfrxDialogForm form(page, FParent);
    const int result = form.RunModal();
    form.Rethrow();
    return result;
}

void TfrxHeadlessDialogRunner::SetAnswer(const QString& key, const Variant& value) {
    FAnswers.append({key, value});
}

void TfrxHeadlessDialogRunner::ApplyAnswers(TfrxDialogPage& page) {
    TfrxReport* report = page.Report();
    for (const auto& [key, value] : FAnswers) {
        const qsizetype dot = key.indexOf(QLatin1Char('.'));
        const QString name = dot < 0 ? key : key.left(dot);
        const QString property = dot < 0 ? QString() : key.mid(dot + 1);
        TfrxComponent* found = report ? report->FindObject(name) : page.FindObject(name);
        auto* control = qobject_cast<TfrxDialogControl*>(found);
        if (!control)
            throw platform::Exception(
                QStringLiteral("Ответ для \"%1\": в диалогах отчета нет такого элемента")
                    .arg(name));
        if (control->Page() == &page)
            ApplyAnswer(*control, property, value);
    }
}

int TfrxHeadlessDialogRunner::RunDialogPage(TfrxDialogPage& page) {
    TfrxDialogForm form(page);
    page.ModalResult = mrNone;
    form.PlayShow();
    form.Rethrow();
    ApplyAnswers(page);
    form.RefreshAll();
    TfrxButtonControl* button = form.DefaultButton();
    if (button) {
        static_cast<QAbstractButton*>(form.ViewOf(button)->Widget())->click();
        form.Rethrow();
    }
    int result = page.ModalResult;
    if (result == mrNone) {
        if (button && button->ModalResult != mrNone)
            throw platform::Exception(
                QStringLiteral("Диалог \"%1\" не принял ответы")
                    .arg(page.Caption.isEmpty() ? page.objectName() : page.Caption));
        result = mrOk;
    }
    form.Close(result);
    form.Rethrow();
    return result;
}

}  // namespace reportengine
