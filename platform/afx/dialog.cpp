#include "platform/afx/dialog.h"

#include <cstring>
#include <mutex>

#include "platform/afx/resources.h"
#include "platform/com/variant.h"

namespace {
void PutWord(std::string& out, WORD w) { out.append(reinterpret_cast<const char*>(&w), 2); }
void PutDword(std::string& out, DWORD d) { out.append(reinterpret_cast<const char*>(&d), 4); }
void PutText(std::string& out, const std::string& s) {
    const GwOleString w = GwWideFromAnsi(s.data(), s.size());
    for (OLECHAR c : w) PutWord(out, static_cast<WORD>(c));
    PutWord(out, 0);
}
void Align4(std::string& out) {
    while (out.size() % 4) out.push_back('\0');
}

struct Reader {
    const BYTE* p;
    DWORD size;
    DWORD pos = 0;
    bool ok = true;
    WORD Word() {
        if (pos + 2 > size) { ok = false; return 0; }
        WORD w;
        std::memcpy(&w, p + pos, 2);
        pos += 2;
        return w;
    }
    DWORD Dword() {
        if (pos + 4 > size) { ok = false; return 0; }
        DWORD d;
        std::memcpy(&d, p + pos, 4);
        pos += 4;
        return d;
    }
    std::string Text() {
        GwOleString w;
        for (;;) {
            const WORD c = Word();
            if (!ok || c == 0) break;
            w.push_back(c);
        }
        return GwAnsiFromWide(w.data(), w.size());
    }
    // A field that is absent (0), an ordinal (0xFFFF, id) or a string.
    void SzOrOrd(std::string* text, WORD* ordinal) {
        const DWORD start = pos;
        const WORD first = Word();
        if (!ok) return;
        if (first == 0xFFFF) {
            const WORD id = Word();
            if (ordinal) *ordinal = id;
            return;
        }
        pos = start;
        const std::string s = Text();
        if (text) *text = s;
    }
    void Align() { pos = (pos + 3) & ~3u; }
};

std::mutex g_userLock;
AfxDialogUser& User() {
    static AfxDialogUser user;
    return user;
}

// Base units of the template font ("MS Sans Serif" 8 point at 96 dots per inch); other sizes
// scale from it.
void BaseUnits(const AfxDialogDesc& desc, int* bx, int* by) {
    *bx = 6 * desc.pointSize / 8;
    *by = 13 * desc.pointSize / 8;
    if (*bx < 1) *bx = 1;
    if (*by < 1) *by = 1;
}
CRect ToPixels(int x, int y, int cx, int cy, int bx, int by) {
    return CRect(x * bx / 4, y * by / 8, (x + cx) * bx / 4, (y + cy) * by / 8);
}
}  // namespace

std::string AfxBuildDialogTemplate(const AfxDialogDesc& desc) {
    std::string out;
    PutDword(out, desc.style | DS_SETFONT);
    PutDword(out, 0);
    PutWord(out, static_cast<WORD>(desc.items.size()));
    PutWord(out, static_cast<WORD>(desc.x));
    PutWord(out, static_cast<WORD>(desc.y));
    PutWord(out, static_cast<WORD>(desc.cx));
    PutWord(out, static_cast<WORD>(desc.cy));
    PutWord(out, 0);  // no menu
    PutWord(out, 0);  // the standard dialog class
    PutText(out, desc.caption);
    PutWord(out, desc.pointSize);
    PutText(out, desc.font);
    for (const AfxDialogItemDesc& item : desc.items) {
        Align4(out);
        PutDword(out, item.style);
        PutDword(out, 0);
        PutWord(out, static_cast<WORD>(item.x));
        PutWord(out, static_cast<WORD>(item.y));
        PutWord(out, static_cast<WORD>(item.cx));
        PutWord(out, static_cast<WORD>(item.cy));
        PutWord(out, item.id);
        PutWord(out, 0xFFFF);
        PutWord(out, item.classAtom);
        if (item.textOrdinal) {
            PutWord(out, 0xFFFF);
            PutWord(out, item.textOrdinal);
        } else {
            PutText(out, item.text);
        }
        PutWord(out, 0);  // no creation data
    }
    return out;
}

bool AfxParseDialogTemplate(const BYTE* data, DWORD size, AfxDialogDesc* out) {
    if (!data || !out) return false;
    Reader r{data, size};
    AfxDialogDesc desc;
    desc.style = r.Dword();
    r.Dword();
    const WORD count = r.Word();
    desc.x = static_cast<short>(r.Word());
    desc.y = static_cast<short>(r.Word());
    desc.cx = static_cast<short>(r.Word());
    desc.cy = static_cast<short>(r.Word());
    r.SzOrOrd(nullptr, nullptr);  // menu
    r.SzOrOrd(nullptr, nullptr);  // class
    desc.caption = r.Text();
    if (desc.style & DS_SETFONT) {
        desc.pointSize = r.Word();
        desc.font = r.Text();
    }
    for (WORD i = 0; i < count && r.ok; ++i) {
        r.Align();
        AfxDialogItemDesc item;
        item.style = r.Dword();
        r.Dword();
        item.x = static_cast<short>(r.Word());
        item.y = static_cast<short>(r.Word());
        item.cx = static_cast<short>(r.Word());
        item.cy = static_cast<short>(r.Word());
        item.id = r.Word();
        std::string className;
        WORD atom = 0;
        r.SzOrOrd(&className, &atom);
        item.classAtom = atom;
        r.SzOrOrd(&item.text, &item.textOrdinal);
        const WORD extra = r.Word();
        r.pos += extra;
        if (r.pos > size) r.ok = false;
        desc.items.push_back(item);
    }
    if (!r.ok) return false;
    *out = desc;
    return true;
}

void AfxSetDialogUser(AfxDialogUser user) {
    std::lock_guard<std::mutex> g(g_userLock);
    User() = std::move(user);
}

int AfxRunDialogUser(const AfxDialogLayout& layout) {
    AfxDialogUser user;
    {
        std::lock_guard<std::mutex> g(g_userLock);
        user = User();
    }
    return user ? user(layout) : IDOK;
}

bool AfxLayoutDialog(UINT templateId, AfxDialogLayout* layout) {
    const BYTE* data;
    DWORD size;
    if (!AfxFindResourceBytes(AfxGetResourceHandle(), MAKEINTRESOURCE(templateId), RT_DIALOG, &data, &size))
        return false;
    AfxDialogLayout l;
    l.templateId = templateId;
    if (!AfxParseDialogTemplate(data, size, &l.desc)) return false;
    int bx, by;
    BaseUnits(l.desc, &bx, &by);
    l.window = ToPixels(l.desc.x, l.desc.y, l.desc.cx, l.desc.cy, bx, by);
    for (const AfxDialogItemDesc& item : l.desc.items) l.items.push_back(ToPixels(item.x, item.y, item.cx, item.cy, bx, by));
    *layout = l;
    return true;
}

bool AfxHasDialogUser() {
    std::lock_guard<std::mutex> g(g_userLock);
    return static_cast<bool>(User());
}

#ifdef _WIN32
namespace {

// The dialog procedure of a framework dialog run by the system's dialog manager.
INT_PTR CALLBACK FrameworkDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            return reinterpret_cast<CDialog*>(lParam)->RunInit();
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                if (LOWORD(wParam) == IDOK && dialog) dialog->RunOK();
                EndDialog(window, LOWORD(wParam));
                return TRUE;
            }
            break;
        default: break;
    }
    return FALSE;
}
}  // namespace

INT_PTR CDialog::RunSystemDialog(const void* templ) {
    if (!templ) {
        const BYTE* own;
        DWORD size;
        if (!AfxFindResourceBytes(AfxGetResourceHandle(), MAKEINTRESOURCE(m_nIDTemplate), RT_DIALOG, &own, &size))
            return -1;
        templ = own;
    }
    return DialogBoxIndirectParamA(AfxGetResourceHandle(), reinterpret_cast<LPCDLGTEMPLATEA>(templ),
                                   GetActiveWindow(), FrameworkDialogProc, reinterpret_cast<LPARAM>(this));
}
#endif

INT_PTR CDialog::DoModal() {
    if (!AfxLayoutDialog(m_nIDTemplate, &m_layout)) return -1;
#ifdef _WIN32
    // A person answers through the system's dialog manager unless a user has been installed.
    if (!AfxHasDialogUser()) return RunSystemDialog();
#endif
    OnInitDialog();
    const int result = AfxRunDialogUser(m_layout);
    if (result == IDOK) OnOK();
    return result;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}
