// An auto-reset event: Set releases one waiter (or the next Wait), which resets it.
//
// A query is a chain of hand-overs (caller -> link thread -> server -> link thread -> caller), and
// on loopback each blocking wake-up costs as much as the server's whole turn. So a waiter first
// spins a few microseconds on the flag before it sleeps, and Set only touches the mutex and the
// condition variable when someone sleeps. Every operation on FSignalled and FSleepers is
// sequentially consistent: a setter that sees no sleeper is seen by the sleeper's own re-check.
//
// Thread contract: every member may be called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace dataclient {

class AutoResetEvent {
public:
    void Set() {
        FSignalled.store(true);
        if (FSleepers.load() > 0) {
            // Taking the mutex orders this notify after the sleeper's re-check.
            { std::lock_guard guard(FMutex); }
            FCondition.notify_one();
        }
    }
    void Reset() { FSignalled.store(false); }

    void Wait() {
        if (Spin())
            return;
        std::unique_lock lock(FMutex);
        ++FSleepers;
        FCondition.wait(lock, [this] { return TryConsume(); });
        --FSleepers;
    }

    // True when signalled within the time; false on time-out.
    bool WaitFor(std::chrono::milliseconds timeout) {
        if (Spin())
            return true;
        std::unique_lock lock(FMutex);
        ++FSleepers;
        const bool signalled = FCondition.wait_for(lock, timeout, [this] { return TryConsume(); });
        --FSleepers;
        return signalled;
    }

private:
    // Long enough to cover a loopback reply (about 10 us), short enough to cost nothing noticeable
    // when the wait is a long one.
    static constexpr auto kSpinTime = std::chrono::microseconds(50);

    bool TryConsume() {
        bool expected = true;
        return FSignalled.compare_exchange_strong(expected, false);
    }

    bool Spin() {
        const auto until = std::chrono::steady_clock::now() + kSpinTime;
        do {
            for (int i = 0; i < 64; ++i) {
                if (FSignalled.load(std::memory_order_relaxed) && TryConsume())
                    return true;
            }
            std::this_thread::yield();  // on a busy machine, let the thread we wait for run
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }

    std::atomic<bool> FSignalled{false};
    std::atomic<int> FSleepers{0};
    std::mutex FMutex;  // only for sleeping
    std::condition_variable FCondition;
};

}  // namespace dataclient
