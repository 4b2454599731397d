// The encoder settings record: every choice one encoding run needs (text, version, level,
// mode, optional headers) plus the renderer's margin, module size and colours. The control
// fills it from its properties, persists it as one fixed block, and hands it to the pipeline.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of the text field. The text needs ten '#' filler bytes behind it to have an end, so at
// most QRCODE_TEXT_MAX bytes of text are usable.
constexpr int32_t QRCODE_TEXT_FIELD_SIZE = 7100;
constexpr int32_t QRCODE_TEXT_END_RUN = 10;
constexpr int32_t QRCODE_TEXT_MAX = QRCODE_TEXT_FIELD_SIZE - QRCODE_TEXT_END_RUN;
constexpr char QRCODE_TEXT_FILLER = '#';

// Size of the stored form of the record (the control's persisted settings block). It is the
// record's layout on the original 32-bit build: every field in this order, the pointer taking
// 4 bytes. On a 64-bit build the pointer is 8 bytes wide, so the in-memory record is larger
// than the block and every field after the pointer sits 4 bytes further on; persistence
// therefore maps the record to the block field by field (QRCODE_BLOCK_OFFSET_* below) and
// never copies it as one piece.
constexpr int32_t QRCODE_SETTINGS_BLOCK_SIZE = 7160;

enum QRCodeEncodeMode : int32_t {
    QRCODE_MODE_ALPHANUMERIC = 0,
    QRCODE_MODE_BYTE = 1,
    QRCODE_MODE_NUMERIC = 2,
    QRCODE_MODE_KANJI = 3,
    QRCODE_MODE_AUTOMATIC = 4,
};

enum QRCodeLevel : int32_t {
    QRCODE_LEVEL_L = 0,
    QRCODE_LEVEL_M = 1,
    QRCODE_LEVEL_Q = 2,
    QRCODE_LEVEL_H = 3,
};

struct QRCodeSettings {
    int32_t preferredVersion;      // fixed version, or where the version search starts
    int32_t selectedVersion;       // version of the last symbol made
    int32_t* eciValues;            // per-character ECI numbers during a run; null outside one
    int32_t correctionLevel;       // 0 = L, 1 = M, 2 = Q, 3 = H
    int32_t encodeMode;            // QRCodeEncodeMode; anything else writes no data segment
    int32_t eciMode;               // ECI assignment number; negative = no ECI header
    int32_t fnc1Mode;              // 0 none, 1 FNC1 first position, 2 FNC1 second position
    int32_t appendPosition;        // structured append: this symbol, counted from 1
    int32_t appendTotal;           // structured append: number of symbols
    int32_t applicationIndicator;  // FNC1 second position: low 8 bits are written
    int32_t reserved;              // keeps the stored layout; unused
    uint8_t structuredAppend;      // flags: 0 off, anything else on
    uint8_t processTilde;
    uint8_t autoConfigurate;
    uint8_t margin;                // renderer: border in pixels
    uint8_t pixelSize;             // renderer: side of one module in pixels
    uint8_t reserved2[3];          // keeps the stored layout; unused
    uint32_t backgroundColor;      // 0x00BBGGRR, light modules
    uint32_t foregroundColor;      // 0x00BBGGRR, dark modules
    char text[QRCODE_TEXT_FIELD_SIZE];  // text bytes, no terminator, '#' filler behind
};

// Offsets of the fields in the stored block (the 32-bit layout).
constexpr int32_t QRCODE_BLOCK_OFFSET_PREFERRED_VERSION = 0;
constexpr int32_t QRCODE_BLOCK_OFFSET_SELECTED_VERSION = 4;
constexpr int32_t QRCODE_BLOCK_OFFSET_ECI_VALUES = 8;
constexpr int32_t QRCODE_BLOCK_OFFSET_CORRECTION_LEVEL = 12;
constexpr int32_t QRCODE_BLOCK_OFFSET_ENCODE_MODE = 16;
constexpr int32_t QRCODE_BLOCK_OFFSET_ECI_MODE = 20;
constexpr int32_t QRCODE_BLOCK_OFFSET_FNC1_MODE = 24;
constexpr int32_t QRCODE_BLOCK_OFFSET_APPEND_POSITION = 28;
constexpr int32_t QRCODE_BLOCK_OFFSET_APPEND_TOTAL = 32;
constexpr int32_t QRCODE_BLOCK_OFFSET_APPLICATION_INDICATOR = 36;
constexpr int32_t QRCODE_BLOCK_OFFSET_RESERVED = 40;
constexpr int32_t QRCODE_BLOCK_OFFSET_STRUCTURED_APPEND = 44;
constexpr int32_t QRCODE_BLOCK_OFFSET_PROCESS_TILDE = 45;
constexpr int32_t QRCODE_BLOCK_OFFSET_AUTO_CONFIGURATE = 46;
constexpr int32_t QRCODE_BLOCK_OFFSET_MARGIN = 47;
constexpr int32_t QRCODE_BLOCK_OFFSET_PIXEL_SIZE = 48;
constexpr int32_t QRCODE_BLOCK_OFFSET_RESERVED2 = 49;
constexpr int32_t QRCODE_BLOCK_OFFSET_BACKGROUND_COLOR = 52;
constexpr int32_t QRCODE_BLOCK_OFFSET_FOREGROUND_COLOR = 56;
constexpr int32_t QRCODE_BLOCK_OFFSET_TEXT = 60;

// The in-memory record keeps the stored order; only the pointer's extra width moves the fields
// behind it. These checks hold on 32-bit builds (shift 0: the record IS the block) and on
// 64-bit builds (shift 4).
namespace qrcode_settings_layout {
constexpr std::size_t kShift = sizeof(int32_t*) - 4;
static_assert(offsetof(QRCodeSettings, preferredVersion) == QRCODE_BLOCK_OFFSET_PREFERRED_VERSION, "layout");
static_assert(offsetof(QRCodeSettings, selectedVersion) == QRCODE_BLOCK_OFFSET_SELECTED_VERSION, "layout");
static_assert(offsetof(QRCodeSettings, eciValues) == QRCODE_BLOCK_OFFSET_ECI_VALUES, "layout");
static_assert(offsetof(QRCodeSettings, correctionLevel) == QRCODE_BLOCK_OFFSET_CORRECTION_LEVEL + kShift, "layout");
static_assert(offsetof(QRCodeSettings, encodeMode) == QRCODE_BLOCK_OFFSET_ENCODE_MODE + kShift, "layout");
static_assert(offsetof(QRCodeSettings, eciMode) == QRCODE_BLOCK_OFFSET_ECI_MODE + kShift, "layout");
static_assert(offsetof(QRCodeSettings, fnc1Mode) == QRCODE_BLOCK_OFFSET_FNC1_MODE + kShift, "layout");
static_assert(offsetof(QRCodeSettings, appendPosition) == QRCODE_BLOCK_OFFSET_APPEND_POSITION + kShift, "layout");
static_assert(offsetof(QRCodeSettings, appendTotal) == QRCODE_BLOCK_OFFSET_APPEND_TOTAL + kShift, "layout");
static_assert(offsetof(QRCodeSettings, applicationIndicator) == QRCODE_BLOCK_OFFSET_APPLICATION_INDICATOR + kShift, "layout");
static_assert(offsetof(QRCodeSettings, reserved) == QRCODE_BLOCK_OFFSET_RESERVED + kShift, "layout");
static_assert(offsetof(QRCodeSettings, structuredAppend) == QRCODE_BLOCK_OFFSET_STRUCTURED_APPEND + kShift, "layout");
static_assert(offsetof(QRCodeSettings, processTilde) == QRCODE_BLOCK_OFFSET_PROCESS_TILDE + kShift, "layout");
static_assert(offsetof(QRCodeSettings, autoConfigurate) == QRCODE_BLOCK_OFFSET_AUTO_CONFIGURATE + kShift, "layout");
static_assert(offsetof(QRCodeSettings, margin) == QRCODE_BLOCK_OFFSET_MARGIN + kShift, "layout");
static_assert(offsetof(QRCodeSettings, pixelSize) == QRCODE_BLOCK_OFFSET_PIXEL_SIZE + kShift, "layout");
static_assert(offsetof(QRCodeSettings, backgroundColor) == QRCODE_BLOCK_OFFSET_BACKGROUND_COLOR + kShift, "layout");
static_assert(offsetof(QRCodeSettings, foregroundColor) == QRCODE_BLOCK_OFFSET_FOREGROUND_COLOR + kShift, "layout");
static_assert(offsetof(QRCodeSettings, text) == QRCODE_BLOCK_OFFSET_TEXT + kShift, "layout");
static_assert(QRCODE_BLOCK_OFFSET_TEXT + QRCODE_TEXT_FIELD_SIZE == QRCODE_SETTINGS_BLOCK_SIZE, "layout");
static_assert(sizeof(int32_t*) != 4 || sizeof(QRCodeSettings) == QRCODE_SETTINGS_BLOCK_SIZE,
              "on a 32-bit build the record is the stored block");
}  // namespace qrcode_settings_layout

// Sets the encoder defaults: version 1, level H, mode -1 (no data segment), no ECI, no FNC1,
// position 1 of 1, flags off but the version search on, and a text field of all '#'.
// Leaves eciValues and the renderer fields alone.
void QRCodeInitSettings(QRCodeSettings* settings);

// QRCodeInitSettings, then the control-level defaults: selected version 1, byte mode,
// margin 10, pixel size 3, white background, black foreground.
void QRCodeResetSettings(QRCodeSettings* settings);

// Length of the text: where the first run of ten '#' begins. When the field holds no such run
// (a text of more than QRCODE_TEXT_MAX bytes), the text is measured to the end of the field and
// the result is QRCODE_TEXT_FIELD_SIZE; the pipeline refuses such a text. Never reads past the
// field.
int32_t QRCodeTextLength(const QRCodeSettings* settings);
