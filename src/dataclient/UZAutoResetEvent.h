// An auto-reset event: Set releases one waiter (or the next Wait), which resets it.
// Thread contract: every member may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dataclient {

class AutoResetEvent {
public:
    void Set() {
        {
            std::lock_guard guard(FMutex);
            FSignalled = true;
        }
        FCondition.notify_one();
    }
    void Reset() {
        std::lock_guard guard(FMutex);
        FSignalled = false;
    }
    void Wait() {
        std::unique_lock lock(FMutex);
        FCondition.wait(lock, [this] { return FSignalled; });
        FSignalled = false;
    }
    // True when signalled within the time; false on time-out.
    bool WaitFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(FMutex);
        if (!FCondition.wait_for(lock, timeout, [this] { return FSignalled; }))
            return false;
        FSignalled = false;
        return true;
    }

private:
    std::mutex FMutex;
    std::condition_variable FCondition;
    bool FSignalled = false;  // guarded by FMutex
};

}  // namespace dataclient
