// Dialog hook bindings and the unattended answers; see StdLibHooks.h.
#include "reportengine/script/StdLibHooks.h"

#include <QHash>
#include <mutex>

namespace script {

namespace {

std::mutex& BindingLock() {
    static std::mutex lock;
    return lock;
}

QHash<const Script*, DialogHooks>& Bindings() {
    static QHash<const Script*, DialogHooks> bindings;
    return bindings;
}

}  // namespace

DialogHookBinding::DialogHookBinding(const Script& script, DialogHooks hooks) : FScript(&script) {
    std::lock_guard<std::mutex> guard(BindingLock());
    Bindings().insert(FScript, std::move(hooks));
}

DialogHookBinding::~DialogHookBinding() {
    std::lock_guard<std::mutex> guard(BindingLock());
    Bindings().remove(FScript);
}

DialogHooks BoundDialogHooks(const Script& script) {
    // A copy, so that the hook runs without the lock held.
    std::lock_guard<std::mutex> guard(BindingLock());
    return Bindings().value(&script);
}

int ButtonResult(int button) {
    static const int results[] = {mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                                  mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone};
    return button >= 0 && button < int(std::size(results)) ? results[button] : mrNone;
}

int DefaultDialogResult(const QList<int>& buttons) {
    for (int preferred : {mbOK, mbYes, mbRetry})
        if (buttons.contains(preferred))
            return ButtonResult(preferred);
    return buttons.isEmpty() ? mrNone : ButtonResult(buttons.front());
}

}  // namespace script
