// The stored form of the encoder settings record: the 7160-byte settings block that leads every
// saved control. Fields sit at their 32-bit offsets, integers little-endian, whatever the
// record's in-memory layout; the pointer slot and reserved bytes are written as zero.
#pragma once

#include "control/symbol_text.h"
#include "encoder/settings.h"
#include "platform/win32.h"

// Writes all QRCODE_SETTINGS_BLOCK_SIZE bytes of `block`. Flags are written as 0 or 1.
void GlyphwellStoreSettingsBlock(const QRCodeSettings& settings, BYTE* block);
// Fills every field of `settings` from a whole block; the pointer slot is not taken over
// (eciValues becomes null) and reserved bytes are ignored.
void GlyphwellLoadSettingsBlock(const BYTE* block, QRCodeSettings* settings);

// What the control notes in the block's reserved bytes about the properties the record was made
// from: what the record alone cannot tell. Readers that ignore the reserved bytes see the block
// as ever; a block without the note (all zero, as every earlier writer left them) or with bytes
// that are no note has its properties read from the record's fields.
//   40-41  explicitMask, little-endian: bit (DISPID - 1) set when the property held a set value
//          (so a version, level, mode, margin or size set to its default value, or
//          AutoConfigurate set true, comes back as set)
//   42     the SelectedVersion property (0: unset)
//   43     bits 0-1 the text's form, bit 2 ECI 26 added by the text rule, bit 7 set
//   49, 50 the system colour behind BackGroundColor and ForeGroundColor: 0x80 | index, or 0
//          when the colour is a plain one (the record holds the colour painted)
//   51     check byte: 0x5A XOR the six bytes above
struct GlyphwellPropertyNote {
    bool present = false;
    WORD explicitMask = 0;
    BYTE selectedVersion = 0;
    GlyphwellTextForm textForm = kGlyphwellTextCodePage;
    bool eciAdded = false;
    BYTE backSystemColor = 0;
    BYTE foreSystemColor = 0;
};

// Writes the note into a stored block's reserved bytes; an absent note leaves them zero.
void GlyphwellStoreNote(const GlyphwellPropertyNote& note, BYTE* block);
// Reads the note of a stored block; absent (present false) when the bytes hold none.
GlyphwellPropertyNote GlyphwellReadNote(const BYTE* block);
