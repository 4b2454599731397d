// The processor's vector instructions, for the word-parallel code on x86-64 (GCC and clang).
// Included through here rather than directly: GCC 12 takes the 512-bit intrinsics' deliberately
// unset pass-through values for unset variables wherever they are inlined, and reports them at
// their place in its own header, where only switches around the include reach them.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif
