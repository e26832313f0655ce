#include "TrackMouseLeave.h"

#include <commctrl.h>

BOOL TrackMouseLeave(HWND hWnd) {
    TRACKMOUSEEVENT tme{};
    // The record's real size: the fixed 32-bit size makes the call fail on x64,
    // and hover would never end.
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = hWnd;
    return ::_TrackMouseEvent(&tme);
}
