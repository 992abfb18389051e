#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Waits up to 10 s for pred: generous, so that a loaded machine never fails a correct test.
inline bool Eventually(const std::function<bool()>& pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
