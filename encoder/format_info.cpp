// Format and version information writers (see format_info.h).
#include "encoder/format_info.h"

const char* const FormatInfoStrings[32] = {
    "101010000010010", "101000100100101", "101111001111100", "101101101001011",
    "100010111111001", "100000011001110", "100111110010111", "100101010100000",
    "111011111000100", "111001011110011", "111110110101010", "111100010011101",
    "110011000101111", "110001100011000", "110110001000001", "110100101110110",
    "001011010001001", "001001110111110", "001110011100111", "001100111010000",
    "000011101100010", "000001001010101", "000110100001100", "000100000111011",
    "011010101011111", "011000001101000", "011111100110001", "011101000000110",
    "010010010110100", "010000110000011", "010111011011010", "010101111101101",
};

const int32_t VersionInfoBits[34] = {
    0x07C94, 0x085BC, 0x09A99, 0x0A4D3, 0x0BBF6, 0x0C762, 0x0D847, 0x0E60D, 0x0F928,
    0x10B78, 0x1145D, 0x12A17, 0x13532, 0x149A6, 0x15683, 0x168C9, 0x177EC, 0x18EC4,
    0x191E1, 0x1AFAB, 0x1B08E, 0x1CC1A, 0x1D33F, 0x1ED75, 0x1F250, 0x209D5, 0x216F0,
    0x228BA, 0x2379F, 0x24B0B, 0x2542E, 0x26A64, 0x27541, 0x28C69,
};

int32_t QRCodeFormatWord(int index) {
    if (index < 0 || index > 31) return 0;
    int32_t word = 0;
    for (const char* p = FormatInfoStrings[index]; *p; ++p) word = (word << 1) | (*p == '1' ? 1 : 0);
    return word;
}

void QRCodeWriteFormatInfo(SymbolMatrix* m, int index) {
    const int32_t word = QRCodeFormatWord(index);
    for (int k = 0; k < 15; ++k) {
        const int32_t value = ((word >> k) & 1) ? CELL_FORMAT_DARK : CELL_FORMAT_LIGHT;
        for (int copy = 0; copy < 2; ++copy) {
            const QRCodeCell c = QRCodeFormatCell(m, k, copy);
            QRCodeSetCell(m, c.x, c.y, value);
        }
    }
    const QRCodeCell dark = QRCodeDarkModuleCell(m);
    QRCodeSetCell(m, dark.x, dark.y, CELL_FORMAT_DARK);
}

void QRCodeWriteVersionInfo(SymbolMatrix* m, int version) {
    if (version < 7 || version > 40) return;
    const int32_t word = VersionInfoBits[version - 7];
    for (int k = 0; k < 18; ++k) {
        const int32_t value = ((word >> k) & 1) ? CELL_VERSION_DARK : CELL_VERSION_LIGHT;
        for (int copy = 0; copy < 2; ++copy) {
            const QRCodeCell c = QRCodeVersionCell(m, k, copy);
            QRCodeSetCell(m, c.x, c.y, value);
        }
    }
}
