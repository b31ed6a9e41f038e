// The window's radio notifications in tests: the one registration per process outlives
// every test, so every test that starts a driver route registers these, which record into
// one process-wide list.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/radio_watcher.h"

namespace nimbrel::test {

struct WindowEvents {
    std::mutex mutex;
    std::vector<std::string> events;
    static WindowEvents& get() {
        static WindowEvents instance;
        return instance;
    }
    static RadioCallbacks callbacks() {
        return {[](const std::string& e) { get().add("arrival " + e); },
                [](const std::string& e) { get().add("removal " + e); }};
    }
    void add(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex);
        return std::exchange(events, {});
    }
};

}  // namespace nimbrel::test
