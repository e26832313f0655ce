#pragma once
// The DC of one WM_PAINT: BeginPaint on construction, EndPaint on destruction.

#include "CDC.h"

class CPaintDC : public CDC {
  public:
    explicit CPaintDC(HWND hWnd);
    ~CPaintDC() override;
    CPaintDC(CPaintDC&&) = delete;
    CPaintDC& operator=(CPaintDC&&) = delete;

    PAINTSTRUCT m_ps{};

  private:
    HWND m_hWnd; // not owned
};
