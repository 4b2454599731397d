// The stored form of the encoder settings record: the 7160-byte settings block that leads every
// saved control. Fields sit at their 32-bit offsets, integers little-endian, whatever the
// record's in-memory layout; the pointer slot and reserved bytes are written as zero.
#pragma once

#include "encoder/settings.h"
#include "platform/win32.h"

// Writes all QRCODE_SETTINGS_BLOCK_SIZE bytes of `block`. Flags are written as 0 or 1.
void GlyphwellStoreSettingsBlock(const QRCodeSettings& settings, BYTE* block);
// Fills every field of `settings` from a whole block; the pointer slot is not taken over
// (eciValues becomes null) and reserved bytes are ignored.
void GlyphwellLoadSettingsBlock(const BYTE* block, QRCodeSettings* settings);
