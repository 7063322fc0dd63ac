// Keeps a workload's procedure a real call: GCC's noipa (no inlining,
// cloning or interprocedural shortcuts). Clang, which builds only the fuzz
// targets here, has no noipa and gets noinline, its nearest.
#pragma once

#if defined(__clang__)
#define KR_NOIPA __attribute__((noinline))
#else
#define KR_NOIPA __attribute__((noipa))
#endif
