// Functions compiled twice, for AVX2 (with POPCNT) and for the baseline
// x86-64, the version chosen when the program is loaded.  Both versions make
// the same IEEE operations in the same order, so they give the same bits.
//
// ThreadSanitizer instruments the chooser, which runs before the sanitizer's
// runtime is set up; its build keeps the default code alone.  Give cloned
// functions internal linkage behind a plain function: clang names the
// chooser of an externally visible clone apart from the function.
#pragma once

#ifdef __SANITIZE_THREAD__
#define ZELKOR_AVX2_CLONES
#else
#define ZELKOR_AVX2_CLONES [[gnu::target_clones("avx2", "default")]]
#endif
