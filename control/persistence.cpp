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
    // Stored state is untrusted. The block and the framework's part after it are both read
    // before anything is taken over: a stream cut short or one whose framework part is not the
    // framework's fails the load, and the control keeps its settings and picture. Whatever
    // values a whole block holds go to the encoder and the renderer, which refuse what they
    // cannot encode or hold, as they do for the same values set as properties.
    if (ar.Read(block.data(), QRCODE_SETTINGS_BLOCK_SIZE) != static_cast<UINT>(QRCODE_SETTINGS_BLOCK_SIZE)) {
        ar.SetLoadFailed();
        return;
    }
    COleControl::Serialize(ar);
    if (ar.LoadFailed()) return;
    std::lock_guard<std::mutex> guard(SymbolLock());
    GlyphwellLoadSettingsBlock(block.data(), &m_settings);
    // The text is "not empty" when its first byte is not zero (the field has no terminator,
    // so a string-length scan could run past it).
    if (m_settings.text[0] != '\0') RenderSettingsLocked();
}

void CGlyphwellCtrl::DoPropExchange(CPropExchange* px) {
    ExchangeVersion(px, kGlyphwellControlVersion, TRUE);
    COleControl::DoPropExchange(px);
}
