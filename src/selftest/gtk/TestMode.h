// The self-test run: a scripted pass over the live client that writes a
// report and snapshots into a folder and then quits the client.
#pragma once

#include "platform/Task.h"
#include "selftest/TestVariables.h"
#include "selftest/gtk/TestHooks.h"

namespace vuko {

class WebController;
class MiniFocus;

class TestMode {
 public:
  // Starts the run on the main loop and returns at once. The components must
  // outlive alive; once it ends the run stops at its next step, silently.
  static void run(const TestVariables& variables, WebController& main, MiniFocus& mini,
                  TestHooks hooks, Lifetime::Guard alive);
};

}  // namespace vuko
