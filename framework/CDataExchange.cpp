#include "CDataExchange.h"

#include "CWinApp.h"
#include "CWnd.h"

#include <cstdio>

namespace {

const char kNotAPositiveInteger[] = "“请填入一个正整数。”";
const char kOutOfRange[] = "“请填入一个在%1和%2之间的整数。”";

CString Substitute(const char* pattern, UINT first, UINT second) {
    CString a, b;
    a.Format("%u", first);
    b.Format("%u", second);
    CString out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
            out += p[1] == '1' ? a : b;
            ++p;
        } else {
            char one[2] = {*p, 0};
            out += one;
        }
    }
    return out;
}

} // namespace

CDataExchange::CDataExchange(CWnd* dialog, BOOL saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

HWND CDataExchange::PrepareCtrl(int id) {
    m_hLastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    m_bEditLastControl = FALSE;
    m_pLastNumber = nullptr;
    return m_hLastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return control;
}

void CDataExchange::Fail() {
    if (m_pLastNumber)
        *m_pLastNumber = m_lastNumberBefore;
    m_pLastNumber = nullptr;
    if (m_hLastControl) {
        ::SetFocus(m_hLastControl);
        if (m_bEditLastControl)
            ::SendMessageA(m_hLastControl, EM_SETSEL, 0, -1);
    }
    m_bFailed = TRUE;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx->m_bFailed || control.m_hWnd)
        return;
    HWND hWnd = dx->PrepareCtrl(id);
    if (hWnd)
        control.SubclassWindow(hWnd);
}

namespace {

// Writing the same text again would put the caret back at the start.
void SetTextIfChanged(HWND control, const char* text) {
    if (WindowText(control) != text)
        ::SetWindowTextA(control, text);
}

} // namespace

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    if (dx->m_bFailed)
        return;
    HWND control = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = WindowText(control);
    else
        SetTextIfChanged(control, value);
}

bool ParseUnsigned(const char* text, UINT& value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    unsigned long long number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + static_cast<unsigned>(*p - '0');
        if (number > 0xFFFFFFFFull)
            number = 0xFFFFFFFFull + 1; // saturate; stays out of any 32-bit range
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p != '\0')
        return false;
    value = number > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<UINT>(number);
    return true;
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
    if (dx->m_bFailed)
        return;
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        char text[32];
        std::snprintf(text, sizeof text, "%u", value);
        SetTextIfChanged(control, text);
        return;
    }
    char text[32] = {};
    ::GetWindowTextA(control, text, sizeof text); // the first 31 characters
    UINT parsed = 0;
    if (!ParseUnsigned(text, parsed)) {
        ::MessageBoxA(dx->m_pDlgWnd->m_hWnd, kNotAPositiveInteger, AfxGetAppName(), MB_OK);
        dx->Fail();
        return;
    }
    dx->m_pLastNumber = &value;
    dx->m_lastNumberBefore = value;
    value = parsed;
}

void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minimum, UINT maximum) {
    if (dx->m_bFailed || !dx->m_bSaveAndValidate)
        return;
    if (value >= minimum && value <= maximum)
        return;
    CString text = Substitute(kOutOfRange, minimum, maximum);
    ::MessageBoxA(dx->m_pDlgWnd->m_hWnd, text, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
    dx->Fail();
}
