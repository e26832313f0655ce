#include "TrackMouseLeave.h"

#include <commctrl.h>

BOOL TrackMouseLeave(HWND hWnd) {
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = hWnd;
    return ::_TrackMouseEvent(&tme);
}
