// Processor features for the encoder (see processor.h).
#include "encoder/processor.h"

#if defined(__x86_64__) && defined(__GNUC__)
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

}  // namespace

bool QRCodeHasBitInstructions() {
    static const bool has = AskBitInstructions();
    return has;
}

bool QRCodeHasWideLanes() {
    static const bool has = QRCodeHasBitInstructions() && AskWideLanes();
    return has;
}
#else
bool QRCodeHasBitInstructions() { return false; }
bool QRCodeHasWideLanes() { return false; }
#endif
