// Processor features for the encoder (see processor.h).
#include "encoder/processor.h"

#if defined(__x86_64__) && defined(__GNUC__) && __has_include(<sys/platform/x86.h>)
// This C library's header spells its results _Bool, which clang does not take in C++.
#if defined(__clang__)
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#else
#include <sys/platform/x86.h>
#endif

// The C library has asked the processor once at start-up (and applied any features the user
// turned off); asking again costs a trip through the hypervisor on virtual machines, which
// a one-symbol process pays on every run.
bool QRCodeHasBitInstructions() {
    static const bool has = CPU_FEATURE_ACTIVE(POPCNT) && CPU_FEATURE_ACTIVE(BMI1) && CPU_FEATURE_ACTIVE(BMI2);
    return has;
}

bool QRCodeHasWideLanes() {
    static const bool has = QRCodeHasBitInstructions() && CPU_FEATURE_ACTIVE(AVX2);
    return has;
}

bool QRCodeHasWidestLanes() {
    static const bool has =
        QRCodeHasWideLanes() && CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX512_VPOPCNTDQ);
    return has;
}

bool QRCodeHasBitGathers() {
    static const bool has = QRCodeHasWidestLanes() && CPU_FEATURE_ACTIVE(AVX512BW) && CPU_FEATURE_ACTIVE(AVX512_BITALG);
    return has;
}
#elif defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>

namespace {

bool AskBitInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_POPCNT)) return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & bit_BMI) && (b & bit_BMI2);
}

bool AskWideLanes() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6) != 6) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2);
}

bool AskWidestLanes() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE)) return false;
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 0xE6) != 0xE6) return false;  // the vector, mask and upper 512-bit register state
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX512F) && (c & bit_AVX512VPOPCNTDQ);
}

bool AskBitGathers() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX512BW) && (c & bit_AVX512BITALG);
}

}  // namespace

bool QRCodeHasBitInstructions() {
    static const bool has = AskBitInstructions();
    return has;
}

bool QRCodeHasWideLanes() {
    static const bool has = QRCodeHasBitInstructions() && AskWideLanes();
    return has;
}

bool QRCodeHasWidestLanes() {
    static const bool has = QRCodeHasWideLanes() && AskWidestLanes();
    return has;
}

bool QRCodeHasBitGathers() {
    static const bool has = QRCodeHasWidestLanes() && AskBitGathers();
    return has;
}
#else
bool QRCodeHasBitInstructions() { return false; }
bool QRCodeHasWideLanes() { return false; }
bool QRCodeHasWidestLanes() { return false; }
bool QRCodeHasBitGathers() { return false; }
#endif
