// Saving and loading the control: the settings block first, then the framework's own part.
#include <vector>

#include "control/glyphwell_ctrl.h"
#include "control/glyphwell_ids.h"
#include "control/settings_block.h"

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
        if (m_settings.text[0] != '\0') RenderSettingsLocked();
    }
    COleControl::Serialize(ar);
}

void CGlyphwellCtrl::DoPropExchange(CPropExchange* px) {
    ExchangeVersion(px, kGlyphwellControlVersion, TRUE);
    COleControl::DoPropExchange(px);
}
