#include "CClientDC.h"

CClientDC::CClientDC(HWND hWnd) : m_hWnd(hWnd) {
    AttachView(::GetDC(hWnd));
}

CClientDC::~CClientDC() {
    HDC hDC = Detach();
    if (hDC != nullptr)
        ::ReleaseDC(m_hWnd, hDC);
}
