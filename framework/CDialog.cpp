#include "CDialog.h"

#include "CWinApp.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

// Until WM_INITDIALOG the dialog has no object; then it is attached and its
// window procedure replaced, so later messages go through the message map and
// reach this procedure only as the dialog class's default handling.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    if (!dialog || !dialog->SubclassWindow(hWnd))
        return TRUE;
    try {
        return dialog->OnInitDialog();
    } catch (...) {
        return TRUE;
    }
}

HWND CDialog::CreateFromTemplate(HWND owner) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    return ::CreateDialogParamA(instance, MAKEINTRESOURCEA(m_templateId), owner, &DialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DoModal() {
    // Without a parent, the main window (if it is another one) owns the dialog.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this)
            owner = main->m_hWnd;
    }
    if (owner)
        owner = ::GetAncestor(owner, GA_ROOT);
    BOOL ownerWasEnabled = owner && ::IsWindowEnabled(owner);
    if (ownerWasEnabled)
        ::EnableWindow(owner, FALSE);

    m_bModal = TRUE;
    m_bModalDone = FALSE;
    m_nModalResult = -1;
    HWND hWnd = CreateFromTemplate(owner);
    if (hWnd) {
        if (!m_bModalDone) {
            ::ShowWindow(hWnd, SW_SHOW);
            RunModalLoop();
        }
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    if (ownerWasEnabled)
        ::EnableWindow(owner, TRUE);
    if (owner && ::GetActiveWindow() == hWnd)
        ::SetActiveWindow(owner);
    if (m_hWnd)
        DestroyWindow();
    else if (hWnd)
        ::DestroyWindow(hWnd);
    m_bModal = FALSE;
    return m_nModalResult;
}

void CDialog::RunModalLoop() {
    MSG msg;
    while (!m_bModalDone) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam)); // leave the quit to the outer loop
            m_nModalResult = IDCANCEL;
            return;
        }
        if (got < 0)
            return;
        bool translated = false;
        for (HWND h = msg.hwnd; h && !translated; h = ::GetParent(h)) {
            CWnd* wnd = FromHandle(h);
            if (wnd && wnd->PreTranslateMessage(&msg))
                translated = true;
            if (h == m_hWnd)
                break;
        }
        if (translated || (m_hWnd && ::IsDialogMessageA(m_hWnd, &msg)))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    if (m_bModal) {
        m_bModalDone = TRUE;
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0); // wake the modal loop
    } else if (m_hWnd) {
        DestroyWindow();
    }
}

BOOL CDialog::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    BOOL handled = CWnd::OnWndMsg(message, wParam, lParam, result);
    if (message == WM_SYSCOLORCHANGE)
        ::EnumChildWindows(m_hWnd, &SendSysColorChange, 0);
    return handled;
}

BOOL CALLBACK CDialog::SendSysColorChange(HWND descendant, LPARAM) {
    ::SendMessageA(descendant, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    BOOL locked = m_bLockNotify;
    m_bLockNotify = TRUE;
    DoDataExchange(&exchange);
    m_bLockNotify = locked;
    return !exchange.m_bFailed;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
