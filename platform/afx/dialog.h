// Dialogs: templates in the resource compiler's binary layout (built from a readable
// description, parsed back when shown), their layout in pixels, and modal dialogs whose
// "user" is pluggable. Headless, the default user presses OK at once; tests install their
// own user to inspect the laid-out items and choose the result.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/afx/geometry.h"

#ifndef _WIN32
#include "platform/user/user.h"  // the window styles windows share
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define SS_LEFT 0x0L
#define SS_ICON 0x3L
#define BS_DEFPUSHBUTTON 0x1L
#endif
#define AFX_DLGCLASS_BUTTON 0x0080
#define AFX_DLGCLASS_STATIC 0x0082

struct AfxDialogItemDesc {
    WORD id = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD classAtom = AFX_DLGCLASS_STATIC;
    std::string text;        // ANSI; ignored when textOrdinal is set
    WORD textOrdinal = 0;    // a resource id instead of a text (an icon's id)
};

struct AfxDialogDesc {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    WORD pointSize = 8;
    std::string font;
    std::vector<AfxDialogItemDesc> items;
};

// The template bytes (DLGTEMPLATE, then each DLGITEMTEMPLATE on a 4-byte boundary).
std::string AfxBuildDialogTemplate(const AfxDialogDesc& desc);
// False for bytes that are not a whole template (nothing is read past `size`).
bool AfxParseDialogTemplate(const BYTE* data, DWORD size, AfxDialogDesc* desc);

// A dialog as shown: its template, and the rectangles in pixels that its dialog units give
// with the template font's base units.
struct AfxDialogLayout {
    UINT templateId = 0;
    AfxDialogDesc desc;
    CRect window;
    std::vector<CRect> items;
};

// The user of modal dialogs: receives the laid-out dialog, returns the id of the button pressed.
typedef std::function<int(const AfxDialogLayout&)> AfxDialogUser;
// Installs a user; an empty function restores the default: headless, IDOK at once; on
// Windows, the system's dialog manager and a person.
void AfxSetDialogUser(AfxDialogUser user);
bool AfxHasDialogUser();

class CDialog;
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

class CDialog {
public:
    explicit CDialog(UINT templateId) : m_nIDTemplate(templateId) {}
    virtual ~CDialog() = default;
    // Lays the template out from the current resource module and hands it to the user;
    // returns the user's choice, or -1 when the template is missing or damaged.
    virtual INT_PTR DoModal();
    const AfxDialogLayout& GetLayout() const { return m_layout; }
#ifdef _WIN32
    // Called by the system dialog's procedure.
    BOOL RunInit() { return OnInitDialog(); }
    void RunOK() { OnOK(); }
#endif

protected:
#ifdef _WIN32
    // Shows a template through the system's dialog manager (the dialog's own resource when
    // `templ` is null; otherwise DWORD-aligned template bytes); the button's id, or -1.
    INT_PTR RunSystemDialog(const void* templ = nullptr);
#endif
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK() { UpdateData(TRUE); }
    BOOL UpdateData(BOOL saveAndValidate);

    UINT m_nIDTemplate;
    AfxDialogLayout m_layout;
};

// Layout of a parsed template (exposed for property pages, which are laid out the same way).
bool AfxLayoutDialog(UINT templateId, AfxDialogLayout* layout);
int AfxRunDialogUser(const AfxDialogLayout& layout);
