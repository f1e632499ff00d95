// The operator dialogs of report scripts and their constants; the answers come from the hooks
// bound to the script, or the unattended defaults (StdLibHooks.h).
#include "reportengine/script/Library.h"
#include "reportengine/script/StdLibHooks.h"
#include "reportengine/script/StdLibParts.h"

namespace script::stdlib {

using platform::Variant;

namespace {

// A button set is a set literal ([mbYes, mbNo]) or a single button.
QList<int> Buttons(const Variant& set) {
    QList<int> buttons;
    if (set.IsArray()) {
        for (const Variant& b : set.Items())
            buttons << b.ToInt();
    } else if (!set.IsNullOrEmpty()) {
        buttons << set.ToInt();
    }
    return buttons;
}

bool AskValue(Script& s, const QString& caption, const QString& prompt, QString& value) {
    const DialogHooks hooks = BoundDialogHooks(s);
    return hooks.InputQuery ? hooks.InputQuery(caption, prompt, value) : true;
}

const Entry Entries[] = {
    {"function MessageDlg(Msg: String; DlgType: Integer; Buttons: Variant; HelpCtx: Integer = 0): "
     "Integer",
     Dialogs, "Окно сообщения с кнопками; возвращает нажатую кнопку (mrOk, mrYes...)",
     [](Script& s, Args& a) {
         const QList<int> buttons = Buttons(a[2]);
         const DialogHooks hooks = BoundDialogHooks(s);
         return Variant(hooks.MessageDlg ? hooks.MessageDlg(a[0].ToString(), a[1].ToInt(), buttons)
                                         : DefaultDialogResult(buttons));
     }},
    {"function InputBox(ACaption, APrompt, ADefault: String): String", Dialogs,
     "Запрос строки; при отказе - значение по умолчанию",
     [](Script& s, Args& a) {
         QString value = a[2].ToString();
         if (!AskValue(s, a[0].ToString(), a[1].ToString(), value))
             value = a[2].ToString();
         return Variant(value);
     }},
    {"function InputQuery(ACaption, APrompt: String; var Value: String): Boolean", Dialogs,
     "Запрос строки; False - отказ (значение не меняется)",
     [](Script& s, Args& a) {
         QString value = a[2].ToString();
         const bool accepted = AskValue(s, a[0].ToString(), a[1].ToString(), value);
         if (accepted)
             a[2] = Variant(value);
         return Variant(accepted);
     }},
};

}  // namespace

void AddDialogFunctions(FunctionLibrary& library) {
    Register(library, Entries);
    const struct {
        const char* Name;
        int Value;
    } constants[] = {
        {"mtWarning", mtWarning},
        {"mtError", mtError},
        {"mtInformation", mtInformation},
        {"mtConfirmation", mtConfirmation},
        {"mtCustom", mtCustom},
        {"mbYes", mbYes},
        {"mbNo", mbNo},
        {"mbOK", mbOK},
        {"mbCancel", mbCancel},
        {"mbAbort", mbAbort},
        {"mbRetry", mbRetry},
        {"mbIgnore", mbIgnore},
        {"mbAll", mbAll},
        {"mbNoToAll", mbNoToAll},
        {"mbYesToAll", mbYesToAll},
        {"mbHelp", mbHelp},
        {"mrNone", mrNone},
        {"mrOk", mrOk},
        {"mrCancel", mrCancel},
        {"mrAbort", mrAbort},
        {"mrRetry", mrRetry},
        {"mrIgnore", mrIgnore},
        {"mrYes", mrYes},
        {"mrNo", mrNo},
        {"mrAll", mrAll},
        {"mrNoToAll", mrNoToAll},
        {"mrYesToAll", mrYesToAll},
    };
    for (const auto& c : constants)
        library.AddConstant(c.Name, Variant(c.Value));
    const struct {
        const char* Name;
        QList<int> Buttons;
    } sets[] = {{"mbYesNo", {mbYes, mbNo}},
                {"mbYesNoCancel", {mbYes, mbNo, mbCancel}},
                {"mbOKCancel", {mbOK, mbCancel}},
                {"mbAbortRetryIgnore", {mbAbort, mbRetry, mbIgnore}}};
    for (const auto& set : sets) {
        QList<Variant> items;
        for (int b : set.Buttons)
            items << Variant(b);
        library.AddConstant(set.Name, Variant(items));
    }
}

}  // namespace script::stdlib
