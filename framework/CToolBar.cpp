#include "CToolBar.h"

#include "ResourceBytes.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

IMPLEMENT_DYNAMIC(CToolBar, CWnd)

namespace {

constexpr WORD kToolbarResourceVersion = 1;
constexpr WORD kToolbarResourceType = 241; // RT_TOOLBAR
constexpr int kSeparatorWidth = 6;

struct ToolbarResourceHeader {
    WORD version;
    WORD width;
    WORD height;
    WORD itemCount;
};

} // namespace

BOOL CToolBar::Create(HWND hParent, DWORD dwStyle, UINT nID) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    const DWORD windowStyle =
        (dwStyle & ~CBRS_ALIGN_TOP) | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
    return CreateEx(0, TOOLBARCLASSNAMEA, nullptr, windowStyle, RECT{0, 0, 0, 0}, hParent, nID);
}

BOOL CToolBar::LoadToolBar(UINT nIDResource) {
    const auto resource =
        ResourceBytes(MAKEINTRESOURCEA(nIDResource), MAKEINTRESOURCEA(kToolbarResourceType));
    const BYTE* bytes = resource.data();
    const DWORD size = static_cast<DWORD>(resource.size());
    if (size < sizeof(ToolbarResourceHeader))
        return FALSE;
    ToolbarResourceHeader header;
    std::memcpy(&header, bytes, sizeof header);
    if (header.version != kToolbarResourceVersion ||
        size < sizeof header + header.itemCount * sizeof(WORD))
        return FALSE;

    std::vector<TBBUTTON> buttons(header.itemCount);
    int image = 0;
    for (WORD i = 0; i < header.itemCount; ++i) {
        WORD id;
        std::memcpy(&id, bytes + sizeof header + i * sizeof(WORD), sizeof id);
        TBBUTTON& button = buttons[i];
        button = TBBUTTON{};
        button.idCommand = id;
        if (id == 0) {
            button.fsStyle = BTNS_SEP;
            button.iBitmap = kSeparatorWidth;
        } else {
            button.fsStyle = BTNS_BUTTON;
            button.fsState = TBSTATE_ENABLED;
            button.iBitmap = image++;
        }
    }

    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    for (LRESULT n = SendMessage(TB_BUTTONCOUNT); n > 0; --n)
        SendMessage(TB_DELETEBUTTON, 0);
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(header.width, header.height));
    return buttons.empty() ||
           SendMessage(TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
}

int CToolBar::CommandToIndex(UINT nIDFind) const {
    return static_cast<int>(SendMessage(TB_COMMANDTOINDEX, nIDFind));
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const {
    TBBUTTON button{};
    if (nIndex < 0 || !SendMessage(TB_GETBUTTON, static_cast<WPARAM>(nIndex),
                                   reinterpret_cast<LPARAM>(&button))) {
        nID = nStyle = 0;
        iImage = 0;
        return;
    }
    nID = static_cast<UINT>(button.idCommand);
    nStyle = button.fsStyle;
    iImage = button.iBitmap;
}
