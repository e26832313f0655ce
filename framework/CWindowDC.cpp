#include "CWindowDC.h"

CWindowDC::CWindowDC(HWND hWnd) : m_hWnd(hWnd) {
    AttachView(::GetWindowDC(hWnd));
}

CWindowDC::~CWindowDC() {
    HDC hDC = Detach();
    if (hDC != nullptr)
        ::ReleaseDC(m_hWnd, hDC);
}
