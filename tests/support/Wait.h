// Driving the main loop from tests: wait for a condition instead of sleeping.
#pragma once

#include <chrono>
#include <functional>

#include "platform/Task.h"

namespace vuko::test {

// Iterates the default main context until cond() holds or timeout passes.
bool waitUntil(const std::function<bool()>& cond,
               std::chrono::milliseconds timeout = std::chrono::seconds(15));

// Runs the main loop for a while (to show that something does NOT happen).
void spin(std::chrono::milliseconds duration);

template <class T>
T run(Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  waitUntil([&] { return task.done(); }, timeout);
  return task.result();
}

// A fresh temporary folder, removed at the end of the test process.
std::string tempDir(const char* prefix = "vuko-test");

}  // namespace vuko::test
