#pragma once
// Dialog data exchange: binds controls to objects and values to controls.
// A failed exchange tells the user, puts the focus on the control, and makes
// every later step of the same exchange do nothing.

#include "CString.h"

class CWnd;

class CDataExchange {
  public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate);

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd; // not owned
    BOOL m_bFailed = FALSE;

    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Focus (and, for an edit box, selection) to the last prepared control.
    void Fail();

  private:
    friend void DDX_Text(CDataExchange*, int, UINT&);
    HWND m_hLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;
    // The number the last control set, and its value before, so that a range
    // check that rejects it can put it back.
    UINT* m_pLastNumber = nullptr; // not owned
    UINT m_lastNumberBefore = 0;
};

// Subclasses the control on the first exchange.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
// Unsigned decimal, "%u"; spaces and tabs around the number are allowed.
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minimum, UINT maximum);

// Reads an unsigned decimal number the way the port box accepts it: optional
// blanks, digits, optional blanks. Values beyond 32 bits saturate.
bool ParseUnsigned(const char* text, UINT& value);
