// Invariant checks for the fuzz targets: a broken one aborts with the reason,
// and libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond, what)                                                           \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, what); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)
