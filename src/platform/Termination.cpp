#include "platform/Termination.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

struct State {
    bool requested = false;
    std::function<void()> onRequest;
    std::function<void(int)> onExitNow;
};

State& state() {
    static State s;
    return s;
}

}  // namespace

void requestTermination() {
    state().requested = true;
    if (state().onRequest) {
        state().onRequest();
        return;
    }
    // Queued, so the handler that asked and whatever follows it still run. An exit posted while
    // no loop runs yet is caught by the start-up code, which checks terminationRequested() before
    // it enters the loop. QCoreApplication::exit also ends nested (modal) loops.
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

bool terminationRequested() {
    return state().requested;
}

void terminateProcessNow(int code) {
    if (state().onExitNow)
        state().onExitNow(code);  // a test handler leaves by throwing
    std::fflush(nullptr);
    std::_Exit(code);
}

void setTerminationHandlers(std::function<void()> onRequest, std::function<void(int)> onExitNow) {
    state().onRequest = std::move(onRequest);
    state().onExitNow = std::move(onExitNow);
}

void resetTerminationState() {
    state().requested = false;
}

}  // namespace platform
