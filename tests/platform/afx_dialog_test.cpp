// Dialog templates: the binary layout built and parsed back, refusal of damaged bytes, layout
// in pixels, and the pluggable user of modal dialogs.
#include <gtest/gtest.h>

#include "platform/afx/afxctl.h"
#include "platform/win32.h"

namespace {

AfxDialogDesc Sample() {
    AfxDialogDesc d;
    d.style = WS_POPUP | WS_CAPTION;
    d.x = 4;
    d.y = 8;
    d.cx = 100;
    d.cy = 40;
    d.caption = "Caf\xE9";
    d.font = "MS Sans Serif";
    AfxDialogItemDesc a;
    a.id = 5;
    a.x = 2, a.y = 3, a.cx = 40, a.cy = 8;
    a.text = "odd";  // makes the next item need padding
    AfxDialogItemDesc b;
    b.id = IDOK;
    b.classAtom = AFX_DLGCLASS_BUTTON;
    b.textOrdinal = 9;
    d.items = {a, b};
    return d;
}

TEST(AfxDialogTemplate, BuildsAndParsesBack) {
    const std::string bytes = AfxBuildDialogTemplate(Sample());
    AfxDialogDesc back;
    ASSERT_TRUE(AfxParseDialogTemplate(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), &back));
    EXPECT_TRUE(back.style & DS_SETFONT);
    EXPECT_EQ(back.caption, "Caf\xE9");
    EXPECT_EQ(back.font, "MS Sans Serif");
    ASSERT_EQ(back.items.size(), 2u);
    EXPECT_EQ(back.items[0].text, "odd");
    EXPECT_EQ(back.items[0].cx, 40);
    EXPECT_EQ(back.items[1].id, IDOK);
    EXPECT_EQ(back.items[1].classAtom, AFX_DLGCLASS_BUTTON);
    EXPECT_EQ(back.items[1].textOrdinal, 9);
    // Item records start on 4-byte boundaries: the header and first item end unaligned here.
    const size_t itemStart = bytes.find(std::string("\x05\x00\xFF\xFF\x82\x00", 6));
    ASSERT_NE(itemStart, std::string::npos);
    EXPECT_EQ((itemStart - 16) % 4, 0u);
}

TEST(AfxDialogTemplate, EveryTruncationIsRefused) {
    const std::string bytes = AfxBuildDialogTemplate(Sample());
    for (size_t n = 0; n < bytes.size() - 1; ++n) {
        AfxDialogDesc out;
        out.caption = "untouched";
        EXPECT_FALSE(AfxParseDialogTemplate(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(n), &out))
            << n;
        EXPECT_EQ(out.caption, "untouched");
    }
}

TEST(AfxDialog, ModalDialogGoesToTheUser) {
    HINSTANCE module = standin::RegisterModule("afx-dialog-test");
    const std::string bytes = AfxBuildDialogTemplate(Sample());
    AfxDeclareResource(module, RT_DIALOG, MAKEINTRESOURCE(77), bytes.data(), static_cast<DWORD>(bytes.size()));
    const HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(module);
    CDialog dialog(77);
    EXPECT_EQ(dialog.DoModal(), IDOK);  // headless default
    EXPECT_EQ(dialog.GetLayout().window.left, 4 * 6 / 4);
    EXPECT_EQ(dialog.GetLayout().window.top, 8 * 13 / 8);
    EXPECT_EQ(dialog.GetLayout().items[0].right, (2 + 40) * 6 / 4);
    AfxSetDialogUser([](const AfxDialogLayout& l) { return l.desc.items.size() == 2 ? IDCANCEL : IDOK; });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    AfxSetDialogUser(nullptr);
    CDialog missing(78);
    EXPECT_EQ(missing.DoModal(), -1);
    AfxSetResourceHandle(previous);
}

TEST(AfxStrings, StringTableBlocks) {
    HINSTANCE module = standin::RegisterModule("afx-string-test");
    const char* strings[16] = {};
    strings[1] = "one";
    strings[15] = "fifteen \xE9";
    const std::string block = AfxBuildStringBlock(strings);
    AfxDeclareResource(module, RT_STRING, MAKEINTRESOURCE(3), block.data(), static_cast<DWORD>(block.size()));
    std::string s;
    ASSERT_TRUE(AfxLoadStringBytes(module, 33, &s));
    EXPECT_EQ(s, "one");
    ASSERT_TRUE(AfxLoadStringBytes(module, 47, &s));
    EXPECT_EQ(s, "fifteen \xE9");
    EXPECT_FALSE(AfxLoadStringBytes(module, 32, &s));  // an empty entry is no string
    EXPECT_FALSE(AfxLoadStringBytes(module, 48, &s));  // another block
    // A block whose lengths run past its end is not read past its end.
    const std::string broken = block.substr(0, 10);
    AfxDeclareResource(module, RT_STRING, MAKEINTRESOURCE(4), broken.data(), static_cast<DWORD>(broken.size()));
    EXPECT_FALSE(AfxLoadStringBytes(module, 63, &s));
    ASSERT_TRUE(AfxLoadStringBytes(AfxGetFrameworkHandle(), AFX_IDS_VERB_PROPERTIES, &s));
    EXPECT_EQ(s, "&Properties...");
}

}  // namespace
