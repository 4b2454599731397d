// Initialisers and text measurement of the encoder settings record.
#include "encoder/settings.h"

#include <cstring>

void QRCodeInitSettings(QRCodeSettings* settings) {
    settings->preferredVersion = 1;
    settings->selectedVersion = -1;
    settings->correctionLevel = QRCODE_LEVEL_H;
    settings->encodeMode = -1;
    settings->eciMode = -1;
    settings->fnc1Mode = 0;
    settings->appendPosition = 1;
    settings->appendTotal = 1;
    settings->applicationIndicator = 0;
    settings->reserved = 0;
    settings->structuredAppend = 0;
    settings->processTilde = 0;
    settings->autoConfigurate = 1;
    std::memset(settings->reserved2, 0, sizeof settings->reserved2);
    std::memset(settings->text, QRCODE_TEXT_FILLER, sizeof settings->text);
}

void QRCodeResetSettings(QRCodeSettings* settings) {
    QRCodeInitSettings(settings);
    settings->selectedVersion = 1;
    settings->encodeMode = QRCODE_MODE_BYTE;
    settings->margin = 10;
    settings->pixelSize = 3;
    settings->backgroundColor = 0xFFFFFF;
    settings->foregroundColor = 0;
}

int32_t QRCodeTextLength(const QRCodeSettings* settings) {
    int32_t run = 0;
    for (int32_t i = 0; i < QRCODE_TEXT_FIELD_SIZE; ++i) {
        if (settings->text[i] == QRCODE_TEXT_FILLER) {
            if (++run == QRCODE_TEXT_END_RUN) return i + 1 - QRCODE_TEXT_END_RUN;
        } else {
            run = 0;
        }
    }
    return QRCODE_TEXT_FIELD_SIZE;
}
