#include "control/settings_block.h"

#include <cstring>

namespace {
void Put32(BYTE* block, int32_t offset, uint32_t v) {
    block[offset] = static_cast<BYTE>(v);
    block[offset + 1] = static_cast<BYTE>(v >> 8);
    block[offset + 2] = static_cast<BYTE>(v >> 16);
    block[offset + 3] = static_cast<BYTE>(v >> 24);
}

uint32_t Get32(const BYTE* block, int32_t offset) {
    return static_cast<uint32_t>(block[offset]) | static_cast<uint32_t>(block[offset + 1]) << 8 |
           static_cast<uint32_t>(block[offset + 2]) << 16 | static_cast<uint32_t>(block[offset + 3]) << 24;
}

int32_t GetSigned(const BYTE* block, int32_t offset) {
    const uint32_t u = Get32(block, offset);
    int32_t s;
    std::memcpy(&s, &u, sizeof s);
    return s;
}
}  // namespace

void GlyphwellStoreSettingsBlock(const QRCodeSettings& s, BYTE* block) {
    std::memset(block, 0, QRCODE_SETTINGS_BLOCK_SIZE);
    Put32(block, QRCODE_BLOCK_OFFSET_PREFERRED_VERSION, static_cast<uint32_t>(s.preferredVersion));
    Put32(block, QRCODE_BLOCK_OFFSET_SELECTED_VERSION, static_cast<uint32_t>(s.selectedVersion));
    Put32(block, QRCODE_BLOCK_OFFSET_CORRECTION_LEVEL, static_cast<uint32_t>(s.correctionLevel));
    Put32(block, QRCODE_BLOCK_OFFSET_ENCODE_MODE, static_cast<uint32_t>(s.encodeMode));
    Put32(block, QRCODE_BLOCK_OFFSET_ECI_MODE, static_cast<uint32_t>(s.eciMode));
    Put32(block, QRCODE_BLOCK_OFFSET_FNC1_MODE, static_cast<uint32_t>(s.fnc1Mode));
    Put32(block, QRCODE_BLOCK_OFFSET_APPEND_POSITION, static_cast<uint32_t>(s.appendPosition));
    Put32(block, QRCODE_BLOCK_OFFSET_APPEND_TOTAL, static_cast<uint32_t>(s.appendTotal));
    Put32(block, QRCODE_BLOCK_OFFSET_APPLICATION_INDICATOR, static_cast<uint32_t>(s.applicationIndicator));
    block[QRCODE_BLOCK_OFFSET_STRUCTURED_APPEND] = s.structuredAppend ? 1 : 0;
    block[QRCODE_BLOCK_OFFSET_PROCESS_TILDE] = s.processTilde ? 1 : 0;
    block[QRCODE_BLOCK_OFFSET_AUTO_CONFIGURATE] = s.autoConfigurate ? 1 : 0;
    block[QRCODE_BLOCK_OFFSET_MARGIN] = s.margin;
    block[QRCODE_BLOCK_OFFSET_PIXEL_SIZE] = s.pixelSize;
    Put32(block, QRCODE_BLOCK_OFFSET_BACKGROUND_COLOR, s.backgroundColor);
    Put32(block, QRCODE_BLOCK_OFFSET_FOREGROUND_COLOR, s.foregroundColor);
    std::memcpy(block + QRCODE_BLOCK_OFFSET_TEXT, s.text, QRCODE_TEXT_FIELD_SIZE);
}

void GlyphwellLoadSettingsBlock(const BYTE* block, QRCodeSettings* s) {
    s->preferredVersion = GetSigned(block, QRCODE_BLOCK_OFFSET_PREFERRED_VERSION);
    s->selectedVersion = GetSigned(block, QRCODE_BLOCK_OFFSET_SELECTED_VERSION);
    s->eciValues = nullptr;
    s->correctionLevel = GetSigned(block, QRCODE_BLOCK_OFFSET_CORRECTION_LEVEL);
    s->encodeMode = GetSigned(block, QRCODE_BLOCK_OFFSET_ENCODE_MODE);
    s->eciMode = GetSigned(block, QRCODE_BLOCK_OFFSET_ECI_MODE);
    s->fnc1Mode = GetSigned(block, QRCODE_BLOCK_OFFSET_FNC1_MODE);
    s->appendPosition = GetSigned(block, QRCODE_BLOCK_OFFSET_APPEND_POSITION);
    s->appendTotal = GetSigned(block, QRCODE_BLOCK_OFFSET_APPEND_TOTAL);
    s->applicationIndicator = GetSigned(block, QRCODE_BLOCK_OFFSET_APPLICATION_INDICATOR);
    s->reserved = 0;
    s->structuredAppend = block[QRCODE_BLOCK_OFFSET_STRUCTURED_APPEND];
    s->processTilde = block[QRCODE_BLOCK_OFFSET_PROCESS_TILDE];
    s->autoConfigurate = block[QRCODE_BLOCK_OFFSET_AUTO_CONFIGURATE];
    s->margin = block[QRCODE_BLOCK_OFFSET_MARGIN];
    s->pixelSize = block[QRCODE_BLOCK_OFFSET_PIXEL_SIZE];
    std::memset(s->reserved2, 0, sizeof s->reserved2);
    s->backgroundColor = Get32(block, QRCODE_BLOCK_OFFSET_BACKGROUND_COLOR);
    s->foregroundColor = Get32(block, QRCODE_BLOCK_OFFSET_FOREGROUND_COLOR);
    std::memcpy(s->text, block + QRCODE_BLOCK_OFFSET_TEXT, QRCODE_TEXT_FIELD_SIZE);
}

namespace {
constexpr BYTE kNoteMark = 0x80;
constexpr BYTE kNoteEciAdded = 0x04;
constexpr BYTE kNoteCheck = 0x5A;
constexpr int32_t kNoteBytes[] = {QRCODE_BLOCK_OFFSET_RESERVED, QRCODE_BLOCK_OFFSET_RESERVED + 1,
                                  QRCODE_BLOCK_OFFSET_RESERVED + 2, QRCODE_BLOCK_OFFSET_RESERVED + 3,
                                  QRCODE_BLOCK_OFFSET_RESERVED2, QRCODE_BLOCK_OFFSET_RESERVED2 + 1};
constexpr int32_t kNoteCheckByte = QRCODE_BLOCK_OFFSET_RESERVED2 + 2;

BYTE CheckOf(const BYTE* block) {
    BYTE check = kNoteCheck;
    for (int32_t at : kNoteBytes) check ^= block[at];
    return check;
}

bool SystemColorByte(BYTE b) { return b == 0 || (b & 0x80 && (b & 0x7F) <= 30); }
}  // namespace

void GlyphwellStoreNote(const GlyphwellPropertyNote& note, BYTE* block) {
    for (int32_t at : kNoteBytes) block[at] = 0;
    block[kNoteCheckByte] = 0;
    if (!note.present) return;
    block[QRCODE_BLOCK_OFFSET_RESERVED] = static_cast<BYTE>(note.explicitMask);
    block[QRCODE_BLOCK_OFFSET_RESERVED + 1] = static_cast<BYTE>(note.explicitMask >> 8);
    block[QRCODE_BLOCK_OFFSET_RESERVED + 2] = note.selectedVersion;
    block[QRCODE_BLOCK_OFFSET_RESERVED + 3] =
        static_cast<BYTE>(kNoteMark | (note.textForm & 3) | (note.eciAdded ? kNoteEciAdded : 0));
    block[QRCODE_BLOCK_OFFSET_RESERVED2] = note.backSystemColor;
    block[QRCODE_BLOCK_OFFSET_RESERVED2 + 1] = note.foreSystemColor;
    block[kNoteCheckByte] = CheckOf(block);
}

GlyphwellPropertyNote GlyphwellReadNote(const BYTE* block) {
    GlyphwellPropertyNote note;
    const BYTE flags = block[QRCODE_BLOCK_OFFSET_RESERVED + 3];
    const WORD mask = static_cast<WORD>(block[QRCODE_BLOCK_OFFSET_RESERVED] | block[QRCODE_BLOCK_OFFSET_RESERVED + 1] << 8);
    const BYTE back = block[QRCODE_BLOCK_OFFSET_RESERVED2], fore = block[QRCODE_BLOCK_OFFSET_RESERVED2 + 1];
    // Anything but a well-formed note is no note.
    if (!(flags & kNoteMark) || (flags & 0x78) || (flags & 3) > kGlyphwellTextShiftJis || (mask & 0xC000) ||
        block[QRCODE_BLOCK_OFFSET_RESERVED + 2] > 40 || !SystemColorByte(back) || !SystemColorByte(fore) ||
        block[kNoteCheckByte] != CheckOf(block))
        return note;
    note.present = true;
    note.explicitMask = mask;
    note.selectedVersion = block[QRCODE_BLOCK_OFFSET_RESERVED + 2];
    note.textForm = static_cast<GlyphwellTextForm>(flags & 3);
    note.eciAdded = (flags & kNoteEciAdded) != 0;
    note.backSystemColor = back;
    note.foreSystemColor = fore;
    return note;
}
