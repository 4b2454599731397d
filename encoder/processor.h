// What the processor offers the word-parallel code of the encoder and of the symbol painter above
// it: read from the survey the C library made at start-up where it publishes one, else asked of
// the processor itself on first use (the compiler runtime's own survey would run before main in
// every process that links the encoder, whether it encodes or not).
#pragma once

// A population count instruction and the three-operand bit instructions (BMI1, BMI2).
bool QRCodeHasBitInstructions();

// 256-bit integer lanes (AVX2), with the bit instructions, on a system that saves their registers.
bool QRCodeHasWideLanes();

// 512-bit integer lanes (AVX-512 F) with a population count per 64-bit lane (VPOPCNTDQ), on a
// system that saves their registers, with the 256-bit lanes as well.
bool QRCodeHasWidestLanes();

// The widest lanes with byte-wise operations (AVX-512 BW) and gathers of any bits of a word
// (BITALG).
bool QRCodeHasBitGathers();
