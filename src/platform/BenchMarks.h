// Time stamps for the start-up benchmark: with VUKO_BENCH set, each named
// moment is printed once to stderr as "bench <name> <epoch ms>".
#pragma once

namespace vuko::BenchMarks {

// Whether the moment is still to be printed (never when not measuring).
bool pending(const char* name);
void mark(const char* name);

}  // namespace vuko::BenchMarks
