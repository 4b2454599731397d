// Fuzzes the symbol pipeline with arbitrary settings records. The first 11 input bytes fill
// the encoder fields (mostly near their ranges, but every field also reaches values outside
// them: negative or huge versions, levels, modes, ECI numbers, FNC1 and append values); the
// rest is the text. A symbol that comes back must be complete and of the version reported.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "encoder/pipeline.h"
#include "encoder/tables.h"
#include "encoder/trace.h"

namespace {

int32_t Signed8(uint8_t b) { return static_cast<int8_t>(b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = (QRCodeSetTraceStream(nullptr), true);
    (void)quiet;
    constexpr size_t kHeader = 11;
    if (size < kHeader) return 0;

    auto settings = std::make_unique<QRCodeSettings>();
    std::memset(settings.get(), 0xA5, sizeof *settings);  // persisted garbage, eciValues included
    QRCodeResetSettings(settings.get());
    settings->preferredVersion = Signed8(data[0]);
    settings->correctionLevel = (data[1] & 0x80) ? Signed8(data[1]) : (data[1] & 0x40) ? data[1] : data[1] % 4;
    settings->encodeMode = data[2] % 8 - 1;
    settings->eciMode = static_cast<int32_t>(static_cast<uint32_t>(data[3]) << 24 | static_cast<uint32_t>(data[4]) << 16 |
                                             static_cast<uint32_t>(data[5]) << 8) >> 8;
    settings->fnc1Mode = (data[6] & 0x80) ? Signed8(data[6]) : data[6] % 4;
    settings->appendPosition = Signed8(data[7]);
    settings->appendTotal = Signed8(data[8]);
    settings->applicationIndicator = Signed8(data[9]) * 1000;
    const uint8_t flags = data[10];
    settings->structuredAppend = flags & 1;
    settings->processTilde = (flags >> 1) & 1;
    settings->autoConfigurate = (flags >> 2) & 1 ? 0 : 1;

    size_t textLength = size - kHeader;
    if (textLength > sizeof settings->text) textLength = sizeof settings->text;
    std::memcpy(settings->text, data + kHeader, textLength);
    // Flag bit 3 fills the rest of the field so that the text has no end mark.
    if (flags & 8) std::memset(settings->text + textLength, 'x', sizeof settings->text - textLength);

    SymbolMatrix* m = QRCodeMakeSymbol(settings.get());
    if (settings->eciValues) __builtin_trap();
    if (!m) return 0;
    if (m->version < 1 || m->version > 40 || m->width != QRCodeModulesPerSide(m->version) ||
        m->height != m->width || settings->selectedVersion != m->version)
        __builtin_trap();
    for (int x = 0; x < m->width; ++x)
        for (int y = 0; y < m->height; ++y)
            if (QRCodeGetCell(m, x, y) == CELL_EMPTY) __builtin_trap();
    std::free(m);
    return 0;
}
