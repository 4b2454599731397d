// The Win32 records keep Windows' sizes and field offsets: files and memory blocks are
// read and written through them, so a wrong layout would corrupt every BMP and DIB.
#include <gtest/gtest.h>

#include <cstddef>

#include "platform/win32.h"

TEST(Win32Types, RecordLayoutsMatchWindows) {
    EXPECT_EQ(sizeof(RGBQUAD), 4u);
    EXPECT_EQ(offsetof(RGBQUAD, rgbRed), 2u);
    EXPECT_EQ(sizeof(BITMAPFILEHEADER), 14u);
    EXPECT_EQ(offsetof(BITMAPFILEHEADER, bfSize), 2u);
    EXPECT_EQ(offsetof(BITMAPFILEHEADER, bfOffBits), 10u);
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), 40u);
    EXPECT_EQ(offsetof(BITMAPINFOHEADER, biClrUsed), 32u);
    EXPECT_EQ(sizeof(BITMAPCOREHEADER), 12u);
    EXPECT_EQ(offsetof(BITMAPINFO, bmiColors), 40u);
}

TEST(Win32Types, ColourMacrosPackRedLow) {
    COLORREF c = RGB(0x12, 0x34, 0x56);
    EXPECT_EQ(c, 0x00563412u);
    EXPECT_EQ(GetRValue(c), 0x12);
    EXPECT_EQ(GetGValue(c), 0x34);
    EXPECT_EQ(GetBValue(c), 0x56);
}

TEST(Win32Types, ConstantsHaveWindowsValues) {
    EXPECT_EQ(SRCCOPY, 0x00CC0020);
    EXPECT_EQ(SRCAND, 0x008800C6);
    EXPECT_EQ(SRCINVERT, 0x00660046);
    EXPECT_EQ(static_cast<uint32_t>(E_NOINTERFACE), 0x80004002u);
    EXPECT_EQ(static_cast<uint32_t>(SELFREG_E_TYPELIB), 0x80040200u);
    EXPECT_EQ(DISPID_ABOUTBOX, -552);
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
}
