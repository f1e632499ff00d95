// "Request application termination": the current handler and the steps after it still complete,
// a modal dialog shown meanwhile closes at once as cancelled (see MessageBox.h), and the message
// loop ends when it next runs. Ending the process at once is a separate, rarer thing.
// Thread contract: UI thread only.
#pragma once

#include <functional>

namespace platform {

void requestTermination();
bool terminationRequested();

// Ends the process at once with code, skipping every later step and all saving.
[[noreturn]] void terminateProcessNow(int code);

// Tests: replace the two actions so that a test process survives them. The exit handler must not
// return normally (throwing is the way out of the caller's code).
void setTerminationHandlers(std::function<void()> onRequest, std::function<void(int)> onExitNow);
void resetTerminationState();

}  // namespace platform
