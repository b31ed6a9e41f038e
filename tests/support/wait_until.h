// Waiting in tests for something another thread does: poll a condition until it holds
// or a time limit passes.
#pragma once

#include <chrono>
#include <thread>

namespace nimbrel::test {

// Sleeps between two looks at the condition.
struct BriefSleep {
    void operator()() const { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }
};

// Polls `done` until it holds; false when `limit` passes first. `pause` runs between two
// polls (a GUI test processes events there).
template <class Done, class Pause = BriefSleep>
bool waitUntil(Done&& done, std::chrono::milliseconds limit, Pause pause = {}) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        pause();
    }
    return true;
}

// waitUntil with a test file's own default limit:
//   constexpr test::WaitUntil waitUntil{30s};
//   ASSERT_TRUE(waitUntil([&] { return ...; }));       // up to 30 s
//   ASSERT_TRUE(waitUntil([&] { return ...; }, 120s)); // a longer wait
struct WaitUntil {
    std::chrono::milliseconds limit;
    template <class Done>
    bool operator()(Done&& done) const {
        return test::waitUntil(done, limit);
    }
    template <class Done>
    bool operator()(Done&& done, std::chrono::milliseconds within) const {
        return test::waitUntil(done, within);
    }
};

}  // namespace nimbrel::test
