#include "WaitFor.h"

#include <windows.h>

namespace {

// Handles what reaches this thread for about sliceMs. A worker's SendMessage
// waits for each answer, so a flood of them must not wait on the condition.
void PumpFor(DWORD sliceMs) {
    const DWORD start = ::GetTickCount();
    DWORD elapsed = 0;
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, sliceMs - elapsed, QS_ALLINPUT);
        elapsed = ::GetTickCount() - start;
    } while (elapsed < sliceMs);
}

} // namespace

bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        PumpFor(10);
    }
}
