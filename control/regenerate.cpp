// The road from the properties to the picture: reset the settings record, copy every property
// that is not at its unset value and the text's bytes, encode once, paint the symbol into the
// control's image and size the control to it. When no symbol can be made the control shows no
// picture at all -- never the symbol of an earlier text -- and says why.
#include <cstdlib>
#include <cstring>

#include "control/glyphwell_ctrl.h"
#include "control/property_values.h"
#include "encoder/pipeline.h"
#include "picture/render.h"

namespace {

const char* const kModeNames[] = {"0 (alphanumeric)", "1 (byte)", "2 (numeric)", "3 (kanji)",
                                  "4 (automatic)"};
const char kLevelNames[] = "LMQH";

// Why the record as filled gives no symbol, from the error of its one encoding run.
std::string WhyNoSymbol(const QRCodeSettings& settings, const QRCodeError& error) {
    if (error.kind == QRCODE_ERROR_UNENCODABLE) {
        // The byte the mode refused, as the encoder saw it (after tilde escapes).
        const int byte = error.byte & 0xFF;
        std::string shown = byte >= 0x20 && byte < 0x7F ? std::string("'") + static_cast<char>(byte) + "'"
                                                        : "byte " + std::to_string(byte);
        return std::string("EncodeMode ") + kModeNames[settings.encodeMode] + " cannot hold " + shown +
               " at position " + std::to_string(error.offset) + " of the text.";
    }
    return "The text does not fit any symbol version up to 40 at correction level " +
           std::string(1, kLevelNames[settings.correctionLevel & 3]) + ".";
}

// Why a symbol gives no picture: too large to draw, or refused by the platform.
std::string WhyNoPicture(long long side) {
    if (side > QRCODE_MAX_RASTER_SIDE) {
        return "The picture would be " + std::to_string(side) + " pixels on a side, more than the " +
               std::to_string(QRCODE_MAX_RASTER_SIDE) + " that can be drawn; lower PixelSize or Margin.";
    }
    return "The " + std::to_string(side) + "-pixel picture could not be created.";
}

}  // namespace

std::string CGlyphwellCtrl::RegenerateSymbol() {
    std::lock_guard<std::mutex> guard(SymbolLock());
    GlyphwellSymbolText text;
    std::string why;
    const bool converted =
        GlyphwellSymbolBytes(m_textData.data(), m_textData.size(), m_eciMode, m_encodeMode, &text, &why);

    QRCodeResetSettings(&m_settings);
    m_note = GlyphwellPropertyNote();
    m_note.present = true;
    // Each property that holds a value goes into its field, and the note records that it did,
    // so that a value equal to the default comes back from a stored block as set.
    const auto take = [this](DISPID dispid, long value, int32_t* field) {
        if (value == -1) return;
        *field = static_cast<int32_t>(value);
        m_note.explicitMask |= static_cast<WORD>(1u << (dispid - 1));
    };
    const auto on = [this](DISPID dispid, BOOL value, uint8_t* flag) {
        // The switches can only be turned on; off leaves the encoder's default.
        if (!value) return;
        *flag = 1;
        m_note.explicitMask |= static_cast<WORD>(1u << (dispid - 1));
    };
    take(dispidPreferredVersion, m_preferredVersion, &m_settings.preferredVersion);
    if (m_selectedVersion != -1) {
        m_settings.selectedVersion = m_selectedVersion;
        m_note.selectedVersion = static_cast<BYTE>(m_selectedVersion);
    }
    take(dispidCorrectionLevel, m_correctionLevel, &m_settings.correctionLevel);
    take(dispidEncodeMode, m_encodeMode, &m_settings.encodeMode);
    take(dispidEciMode, m_eciMode, &m_settings.eciMode);
    take(dispidFnc1Mode, m_fnc1Mode, &m_settings.fnc1Mode);
    on(dispidStructuredAppend, m_structuredAppend, &m_settings.structuredAppend);
    on(dispidProcessTilde, m_processTilde, &m_settings.processTilde);
    on(dispidAutoConfigurate, m_autoConfigurate, &m_settings.autoConfigurate);
    int32_t margin = m_settings.margin, pixelSize = m_settings.pixelSize;
    take(dispidMargin, m_margin, &margin);
    take(dispidPixelSize, m_pixelSize, &pixelSize);
    // In range, both fit their byte fields.
    m_settings.margin = static_cast<uint8_t>(margin);
    m_settings.pixelSize = static_cast<uint8_t>(pixelSize);
    // The record holds the colour painted; the note keeps the system colour behind it, so that
    // the property reads back as set and a reader of the record alone still paints it right.
    m_settings.backgroundColor = GlyphwellPaintColor(m_backGroundColor);
    m_settings.foregroundColor = GlyphwellPaintColor(m_foreGroundColor);
    if ((m_backGroundColor >> 24) == 0x80)
        m_note.backSystemColor = static_cast<BYTE>(0x80 | (m_backGroundColor & 0x1F));
    if ((m_foreGroundColor >> 24) == 0x80)
        m_note.foreSystemColor = static_cast<BYTE>(0x80 | (m_foreGroundColor & 0x1F));

    if (converted) {
        m_note.textForm = text.form;
        if (text.eciAdded) {
            m_settings.eciMode = kGlyphwellUtf8Eci;
            m_note.eciAdded = true;
        }
        // The text goes in without a terminator; the '#' filler behind it marks its end. A text
        // longer than the field can end is cut at that length, so that the copy never runs past
        // the field and the end mark is always there; it cannot be encoded anyway.
        size_t length = text.bytes.size();
        if (length > static_cast<size_t>(QRCODE_TEXT_MAX)) {
            why = "The text takes " + std::to_string(length) + " bytes; a symbol holds at most 2953.";
            length = QRCODE_TEXT_MAX;
        }
        std::memcpy(m_settings.text, text.bytes.data(), length);
    }

    if (!converted || text.bytes.empty() || !why.empty()) {
        ClearPicture();
        return why;
    }
    if (!RenderSettingsLocked(&why)) {
        ClearPicture();
        return why;
    }
    return std::string();
}

bool CGlyphwellCtrl::RenderSettingsLocked(std::string* why) {
    m_bImageReady = true;
    QRCodeError error;
    SymbolMatrix* matrix = QRCodeMakeSymbolExplained(&m_settings, &error);
    if (!matrix) {
        if (why) *why = WhyNoSymbol(m_settings, error);
        return false;
    }
    const QRCodeSymbol symbol = QRCodeSymbolOfMatrix(*matrix, m_settings.correctionLevel);
    std::free(matrix);
    // The record's picture in 24 bits, straight into the control's image.
    const GwSymbolLook look = QRCodeLookOf(m_settings);
    std::string failed;
    if (!GwPaintSymbol(symbol, look, &m_image, &failed)) {
        if (why) *why = WhyNoPicture(GwSymbolPictureSide(look, symbol.size));
        return false;
    }
    SetControlSize(static_cast<int>(m_image.GetWidth()), static_cast<int>(m_image.GetHeight()));
    return true;
}

void CGlyphwellCtrl::ClearPicture() {
    m_image.Destroy();
    InvalidateControl();
}
