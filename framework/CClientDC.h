#pragma once
// The client-area DC of a window, released on destruction.

#include "CDC.h"

class CClientDC : public CDC {
  public:
    explicit CClientDC(HWND hWnd);
    ~CClientDC() override;
    CClientDC(CClientDC&&) = delete;
    CClientDC& operator=(CClientDC&&) = delete;

  private:
    HWND m_hWnd; // not owned
};
