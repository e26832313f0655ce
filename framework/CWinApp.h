#pragma once
// The one application object; its InitInstance runs from WinMain.

#include "CWnd.h"

class CWinApp : public CObject {
  public:
    // A null name makes the title the executable's file name without extension.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program runs inside this (a dialog program runs its dialog modally
    // here) and ends when it returns; there is no application message loop.
    virtual BOOL InitInstance() { return FALSE; }

    CWnd* m_pMainWnd = nullptr; // not owned
    CString m_strAppName;
};

CWinApp* AfxGetApp();
// The application's main window, or null.
CWnd* AfxGetMainWnd();
// The application's title: caption of message boxes that pass none.
const char* AfxGetAppName();
