#pragma once
// The About box, opened from the panel's system menu.

#include "CDialog.h"

class CAboutDlg : public CDialog {
  public:
    CAboutDlg();
};
