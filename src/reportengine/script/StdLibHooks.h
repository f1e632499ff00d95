// The operator dialogs of report scripts (MessageDlg, InputBox, InputQuery). The script library
// has no GUI, so a host that can ask the operator binds its own dialogs to a Script for as long as
// a DialogHookBinding lives. Without a binding a script runs unattended and every dialog answers
// as if the operator pressed Enter at once: MessageDlg gives the result of the default button
// (OK, else Yes, else Retry, else the first button offered; mrNone for no buttons), InputQuery
// accepts the offered value, and so InputBox returns its default.
// Thread contract: bindings may be made and dropped on any thread; a hook runs on the thread that
// runs the script. A binding must be dropped before its Script is destroyed.
#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace script {

class Script;

// Dialog types (mtWarning ...), buttons (mbYes ...) and modal results (mrOk ...) as scripts see
// them; the button values are members of a set, as in `[mbYes, mbNo]`.
enum DialogType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum DialogButton {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};
enum ModalResult {
    mrNone,
    mrOk,
    mrCancel,
    mrAbort,
    mrRetry,
    mrIgnore,
    mrYes,
    mrNo,
    mrAll,
    mrNoToAll,
    mrYesToAll
};

struct DialogHooks {
    // The message, its dialog type and the buttons offered; returns a modal result (mrOk ...).
    std::function<int(const QString& text, int type, const QList<int>& buttons)> MessageDlg;
    // Edits value in place; false when the operator cancels.
    std::function<bool(const QString& caption, const QString& prompt, QString& value)> InputQuery;
};

class DialogHookBinding {
public:
    DialogHookBinding(const Script& script, DialogHooks hooks);
    ~DialogHookBinding();
    DialogHookBinding(const DialogHookBinding&) = delete;
    DialogHookBinding& operator=(const DialogHookBinding&) = delete;

private:
    const Script* FScript;
};

// The hooks bound to a script; empty functions when none are.
DialogHooks BoundDialogHooks(const Script& script);
// The modal result of the button that Enter presses: see the header comment.
int DefaultDialogResult(const QList<int>& buttons);
// The modal result a button closes its dialog with (mrNone for Help).
int ButtonResult(int button);

}  // namespace script
