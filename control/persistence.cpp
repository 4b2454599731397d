// Saving and loading the control: the settings block first, then the framework's own part. A
// load takes back the record, the picture it draws and the properties it was made from.
#include <vector>

#include "control/glyphwell_ctrl.h"
#include "control/glyphwell_ids.h"
#include "control/property_values.h"
#include "control/settings_block.h"

void CGlyphwellCtrl::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        std::vector<BYTE> block(QRCODE_SETTINGS_BLOCK_SIZE);
        GlyphwellStoreSettingsBlock(m_settings, block.data());
        GlyphwellStoreNote(m_note, block.data());
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
    LoadSettingsBlock(block.data());
}

void CGlyphwellCtrl::LoadSettingsBlock(const BYTE* block) {
    std::lock_guard<std::mutex> guard(SymbolLock());
    GlyphwellLoadSettingsBlock(block, &m_settings);
    m_note = GlyphwellReadNote(block);
    RestoreProperties();
    // The text is "not empty" when its first byte is not zero (the field has no terminator,
    // so a string-length scan could run past it). The record is drawn as stored.
    if (m_settings.text[0] != '\0' && !RenderSettingsLocked()) ClearPicture();
}

namespace {

// A stored field as a short property: the value when it is in the property's range, else unset.
short InRangeOrUnset(DISPID dispid, int32_t value) {
    const GlyphwellPropertyRange* range = GlyphwellRangeOf(dispid);
    return range && GlyphwellInRange(*range, value) ? static_cast<short>(value) : -1;
}

}  // namespace

void CGlyphwellCtrl::RestoreProperties() {
    const QRCodeSettings& s = m_settings;
    QRCodeSettings defaults;
    QRCodeResetSettings(&defaults);
    GlyphwellPropertyNote note = m_note;
    const auto bit = [](DISPID dispid) { return static_cast<WORD>(1u << (dispid - 1)); };
    // A note says which fields were set; one whose unset fields are not at their defaults was
    // not written with this record, and is not believed.
    if (note.present) {
        const struct {
            DISPID dispid;
            bool atDefault;
        } fields[] = {{dispidPreferredVersion, s.preferredVersion == defaults.preferredVersion},
                      {dispidCorrectionLevel, s.correctionLevel == defaults.correctionLevel},
                      {dispidEncodeMode, s.encodeMode == defaults.encodeMode},
                      {dispidEciMode, s.eciMode == defaults.eciMode || note.eciAdded},
                      {dispidFnc1Mode, s.fnc1Mode == defaults.fnc1Mode},
                      {dispidStructuredAppend, s.structuredAppend == 0},
                      {dispidProcessTilde, s.processTilde == 0},
                      {dispidMargin, s.margin == defaults.margin},
                      {dispidPixelSize, s.pixelSize == defaults.pixelSize}};
        for (const auto& f : fields)
            if (!(note.explicitMask & bit(f.dispid)) && !f.atDefault) note = GlyphwellPropertyNote();
    }
    if (!note.present) {
        // A block without the note: a field away from the default the reset gives was set. A
        // value set equal to its default comes back unset, which makes the same symbol.
        const auto differs = [&](DISPID dispid, bool away) {
            if (away) note.explicitMask |= bit(dispid);
        };
        differs(dispidPreferredVersion, s.preferredVersion != defaults.preferredVersion);
        differs(dispidCorrectionLevel, s.correctionLevel != defaults.correctionLevel);
        differs(dispidEncodeMode, s.encodeMode != defaults.encodeMode);
        differs(dispidEciMode, s.eciMode != defaults.eciMode);
        differs(dispidFnc1Mode, s.fnc1Mode != defaults.fnc1Mode);
        differs(dispidStructuredAppend, s.structuredAppend != 0);
        differs(dispidProcessTilde, s.processTilde != 0);
        differs(dispidMargin, s.margin != defaults.margin);
        differs(dispidPixelSize, s.pixelSize != defaults.pixelSize);
        note.textForm = s.encodeMode == QRCODE_MODE_KANJI ? kGlyphwellTextShiftJis : kGlyphwellTextCodePage;
    }
    const auto held = [&note](DISPID dispid) { return (note.explicitMask >> (dispid - 1)) & 1; };
    const auto shortOf = [&](DISPID dispid, int32_t field) -> short {
        return held(dispid) ? InRangeOrUnset(dispid, field) : -1;
    };
    m_preferredVersion = shortOf(dispidPreferredVersion, s.preferredVersion);
    m_selectedVersion = note.selectedVersion ? static_cast<short>(note.selectedVersion) : -1;
    m_correctionLevel = shortOf(dispidCorrectionLevel, s.correctionLevel);
    m_encodeMode = shortOf(dispidEncodeMode, s.encodeMode);
    // ECI 26 that the text rule added is no choice of the host's.
    m_eciMode = note.eciAdded ? -1 : shortOf(dispidEciMode, s.eciMode);
    m_fnc1Mode = shortOf(dispidFnc1Mode, s.fnc1Mode);
    m_structuredAppend = held(dispidStructuredAppend) ? TRUE : FALSE;
    m_processTilde = held(dispidProcessTilde) ? TRUE : FALSE;
    m_autoConfigurate = held(dispidAutoConfigurate) ? TRUE : FALSE;
    m_margin = shortOf(dispidMargin, s.margin);
    m_pixelSize = shortOf(dispidPixelSize, s.pixelSize);
    m_backGroundColor = note.backSystemColor ? 0x80000000u | (note.backSystemColor & 0x7Fu) : s.backgroundColor;
    m_foreGroundColor = note.foreSystemColor ? 0x80000000u | (note.foreSystemColor & 0x7Fu) : s.foregroundColor;
    if (!GlyphwellColorValid(m_backGroundColor)) m_backGroundColor = 0xFFFFFF;
    if (!GlyphwellColorValid(m_foreGroundColor)) m_foreGroundColor = 0;
    const int32_t length = s.text[0] == '\0' ? 0 : QRCodeTextLength(&s);
    m_textData = GlyphwellTextOf(s.text, static_cast<size_t>(length), note.textForm);
}

void CGlyphwellCtrl::DoPropExchange(CPropExchange* px) {
    ExchangeVersion(px, kGlyphwellControlVersion, TRUE);
    COleControl::DoPropExchange(px);
}
