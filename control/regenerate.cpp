// The road from the properties to the picture: reset the settings record, copy every property
// that is not at its unset value, render, take the raster into the control's image and size
// the control to it.
#include <cstring>

#include "control/glyphwell_ctrl.h"
#include "encoder/render.h"

void CGlyphwellCtrl::RegenerateSymbol() {
    // An empty text changes nothing at all: settings, picture and size stay.
    if (m_textData.IsEmpty()) return;
    std::lock_guard<std::mutex> guard(SymbolLock());
    QRCodeResetSettings(&m_settings);
    if (m_preferredVersion != -1) m_settings.preferredVersion = m_preferredVersion;
    if (m_selectedVersion != -1) m_settings.selectedVersion = m_selectedVersion;
    if (m_correctionLevel != -1) m_settings.correctionLevel = m_correctionLevel;
    if (m_encodeMode != -1) m_settings.encodeMode = m_encodeMode;
    if (m_eciMode != -1) m_settings.eciMode = m_eciMode;
    if (m_fnc1Mode != -1) m_settings.fnc1Mode = m_fnc1Mode;
    // The switches can only be turned on; off leaves the encoder's default.
    if (m_structuredAppend) m_settings.structuredAppend = 1;
    if (m_processTilde) m_settings.processTilde = 1;
    if (m_autoConfigurate) m_settings.autoConfigurate = 1;
    // The record holds margin and module size as bytes: only the low eight bits arrive.
    if (m_margin != -1) m_settings.margin = static_cast<uint8_t>(m_margin & 0xFF);
    if (m_pixelSize != -1) m_settings.pixelSize = static_cast<uint8_t>(m_pixelSize & 0xFF);
    if (m_backGroundColor != 0xFFFFFF) m_settings.backgroundColor = m_backGroundColor;
    if (m_foreGroundColor != 0) m_settings.foregroundColor = m_foreGroundColor;
    // The text goes in without a terminator; the '#' filler behind it marks its end. A text
    // longer than the field can end is cut at that length, so that the copy never runs past
    // the field and the end mark is always there.
    size_t length = static_cast<size_t>(m_textData.GetLength());
    if (length > static_cast<size_t>(QRCODE_TEXT_MAX)) length = QRCODE_TEXT_MAX;
    std::memcpy(m_settings.text, m_textData.GetString(), length);
    RenderSettingsLocked();
}

void CGlyphwellCtrl::RenderSettingsLocked() {
    HBITMAP bitmap = QRCodeRenderBitmap(&m_settings);
    if (bitmap) {
        m_image.CreateFromHBITMAP(bitmap, nullptr);
        SetControlSize(static_cast<int>(m_image.GetWidth()), static_cast<int>(m_image.GetHeight()));
    }
    QRCodeReleaseBitmap();
    m_bImageReady = true;
}
