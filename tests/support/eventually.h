// Waiting in real time for something another thread or process does.
#pragma once

#include <chrono>
#include <functional>

namespace qz::test {

// Polls `condition` every few milliseconds until it holds or `timeout` has passed.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace qz::test
