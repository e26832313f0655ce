#pragma once
// The whole-window DC (frame included) of a window, released on destruction.

#include "CDC.h"

class CWindowDC : public CDC {
  public:
    explicit CWindowDC(HWND hWnd);
    ~CWindowDC() override;
    CWindowDC(CWindowDC&&) = delete;
    CWindowDC& operator=(CWindowDC&&) = delete;

  private:
    HWND m_hWnd; // not owned
};
