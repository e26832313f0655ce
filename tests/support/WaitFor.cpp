#include "WaitFor.h"

#include <windows.h>

bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        // Answers what reaches this thread meanwhile: a worker's SendMessage
        // waits for each answer, so a flood of them must not wait on the condition.
        const DWORD slice = ::GetTickCount();
        do {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } while (::GetTickCount() - slice < 10);
    }
    return true;
}
