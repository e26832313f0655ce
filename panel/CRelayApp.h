#pragma once
// The application: runs the control panel modally and ends when it closes.

#include "CWinApp.h"

class CRelayApp : public CWinApp {
  public:
    BOOL InitInstance() override;
};
