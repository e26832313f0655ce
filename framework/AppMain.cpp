// Entry point of a GUI program built on the framework: initialise the common
// controls, then run the application object's start-up routine, which is the
// whole program.
#include "CWinApp.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->InitInstance();
    return 0;
}
