// A broken invariant is as much a finding as a crash: it names itself on standard error
// and aborts, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,    \
                   #condition);                                                    \
      std::abort();                                                                \
    }                                                                              \
  } while (0)
