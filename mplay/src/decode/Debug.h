#pragma once
// Assertions on internal invariants: debug builds only, with file and line. Bounds that depend on
// stream data are never asserted; they are checked in every build.
#include <cstdio>
#include <cstdlib>

#ifdef NDEBUG
#define MPLAY_ASSERT(cond) ((void)0)
#else
#define MPLAY_ASSERT(cond)                                                                         \
    ((cond) ? (void)0                                                                              \
            : (std::fprintf(stderr, "%s:%d: assertion failed: %s\n", __FILE__, __LINE__, #cond),   \
               std::abort()))
#endif
