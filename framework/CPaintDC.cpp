#include "CPaintDC.h"

CPaintDC::CPaintDC(HWND hWnd) : m_hWnd(hWnd) {
    AttachView(::BeginPaint(hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}
