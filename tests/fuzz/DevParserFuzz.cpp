// The stand-in server's reading of free text as a task.
#include <fuzzer/FuzzedDataProvider.h>
#include <glib.h>

#include <cstdint>
#include <string>

#include "Check.h"
#include "devserver/Parser.h"
#include "devserver/Recurrence.h"
#include "devserver/TaskJson.h"

using namespace vuko::dev;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto today = Date::make(in.ConsumeIntegralInRange(1971, 2200), in.ConsumeIntegralInRange(1, 12),
                          in.ConsumeIntegralInRange(1, 28));
  int second = in.ConsumeIntegralInRange(0, 86399);
  std::string text = in.ConsumeRemainingBytesAsString();
  FUZZ_CHECK(today.has_value(), "the test's own day is valid");

  ParsedTask t = parseTask(text, *today, second);
  FUZZ_CHECK(t.priority >= 0 && t.priority <= 3, "priority 0 to 3");
  if (t.dueTime) FUZZ_CHECK(*t.dueTime >= 0 && *t.dueTime < 86400, "a time within the day");
  for (const auto* day : {&t.startDate, &t.dueDate})
    if (*day) {
      FUZZ_CHECK(Date::make((*day)->year, (*day)->month, (*day)->day).has_value(), "real days");
      FUZZ_CHECK(Date::parse((*day)->iso()) == **day, "days print and read back");
    }
  if (t.startDate) FUZZ_CHECK(t.dueDate.has_value(), "a start day comes with a deadline");
  if (t.repeat) FUZZ_CHECK(validRepeat(*t.repeat), "only known repetitions");
  for (const auto& tag : t.tags) FUZZ_CHECK(!tag.empty(), "no empty tags");
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    FUZZ_CHECK(g_utf8_validate(t.title.data(), static_cast<gssize>(t.title.size()), nullptr),
               "UTF-8 text gives a UTF-8 title");
    for (const auto& tag : t.tags)
      FUZZ_CHECK(g_utf8_validate(tag.data(), static_cast<gssize>(tag.size()), nullptr),
                 "UTF-8 text gives UTF-8 tags");
    // The answer of /tasks/parse must serialise strictly.
    (void)parsedJson(t).dump();
  }
  return 0;
}
