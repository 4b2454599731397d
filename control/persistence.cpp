// Saving and loading the control: the settings block first, then the framework's own part.
#include <cstdlib>
#include <vector>

#include "control/glyphwell_ctrl.h"
#include "control/glyphwell_ids.h"
#include "control/settings_block.h"
#include "encoder/pipeline.h"
#include "encoder/trace.h"

namespace {
// Stored state is untrusted, and margin and module size alone can ask for a raster of up to
// 45,645 pixels on a side. A loaded record is drawn only when its picture is at most this many
// pixels on a side (a module size of 23 at the largest version), so that a hostile document
// cannot make the control allocate and paint hundreds of megabytes.
const long kMaxLoadedPictureSide = 4096;

// Whether the picture of a loaded record stays within the limit. Only a record whose worst
// case (version 40) exceeds it is encoded once more, silently, to learn its real width.
bool LoadedPictureFits(const QRCodeSettings& settings) {
    const long worst = 177L * settings.pixelSize + 2L * settings.margin;
    if (worst <= kMaxLoadedPictureSide) return true;
    QRCodeSettings* probe = static_cast<QRCodeSettings*>(std::malloc(sizeof(QRCodeSettings)));
    if (!probe) return false;
    *probe = settings;
    FILE* sink = QRCodeTraceStream();
    QRCodeSetTraceStream(nullptr);
    SymbolMatrix* matrix = QRCodeMakeSymbol(probe);
    QRCodeSetTraceStream(sink);
    std::free(probe);
    // No symbol: the renderer refuses the record in the same way, and says so.
    if (!matrix) return true;
    const long side = static_cast<long>(settings.pixelSize) * matrix->width + 2L * settings.margin;
    std::free(matrix);
    return side <= kMaxLoadedPictureSide;
}
}  // namespace

void CGlyphwellCtrl::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        std::vector<BYTE> block(QRCODE_SETTINGS_BLOCK_SIZE);
        GlyphwellStoreSettingsBlock(m_settings, block.data());
        ar.Write(block.data(), QRCODE_SETTINGS_BLOCK_SIZE);
        COleControl::Serialize(ar);
        return;
    }
    std::vector<BYTE> block(QRCODE_SETTINGS_BLOCK_SIZE);
    // Stored state is untrusted. A block cut short is not used at all: half a record mixed with
    // the current one would be neither; the control keeps its settings and picture. Whatever
    // values a whole block holds go to the encoder, which refuses what it cannot encode.
    if (ar.Read(block.data(), QRCODE_SETTINGS_BLOCK_SIZE) != static_cast<UINT>(QRCODE_SETTINGS_BLOCK_SIZE)) return;
    {
        std::lock_guard<std::mutex> guard(SymbolLock());
        GlyphwellLoadSettingsBlock(block.data(), &m_settings);
        // The text is "not empty" when its first byte is not zero (the field has no terminator,
        // so a string-length scan could run past it).
        if (m_settings.text[0] != '\0') {
            if (LoadedPictureFits(m_settings)) RenderSettingsLocked();
            else m_bImageReady = true;  // as when the renderer makes no bitmap
        }
    }
    COleControl::Serialize(ar);
}

void CGlyphwellCtrl::DoPropExchange(CPropExchange* px) {
    ExchangeVersion(px, kGlyphwellControlVersion, TRUE);
    COleControl::DoPropExchange(px);
}
