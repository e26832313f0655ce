#pragma once
// A dialog from a template, run modally by the framework's own loop so that
// every message passes PreTranslateMessage of its window (and that window's
// parents) before IsDialogMessage.

#include "CDataExchange.h"
#include "CWnd.h"

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)

  public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    virtual INT_PTR DoModal();
    void EndDialog(int result);

    // Exchanges the bound values with the controls; FALSE when a value was
    // rejected (the user has been told and the control has the focus).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

  protected:
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL PreTranslateMessage(MSG* msg) override;
    // Passes WM_SYSCOLORCHANGE on to every descendant: Windows sends it to
    // top-level windows only, and controls keep copies of system colours too.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    DECLARE_MESSAGE_MAP()

  private:
    static BOOL CALLBACK SendSysColorChange(HWND descendant, LPARAM);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreateFromTemplate(HWND owner);
    void RunModalLoop();

    UINT m_templateId = 0;
    CWnd* m_pParentWnd = nullptr;            // not owned
    BOOL m_bModal = FALSE;
    BOOL m_bModalDone = FALSE;
    int m_nModalResult = -1;
};
