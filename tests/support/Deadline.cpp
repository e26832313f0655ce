#include "Deadline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace {

const DWORD kGraceMs = 10000; // for the cancelled wait to return

BOOL CALLBACK Cancel(HWND hWnd, LPARAM keep) {
    if (hWnd != reinterpret_cast<HWND>(keep)) {
        ::PostMessageA(hWnd, WM_CANCELMODE, 0, 0);     // ends a popup menu's tracking
        ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0); // ends a dialog or a message box
    }
    return TRUE;
}

} // namespace

void CancelModalWaits(DWORD thread, HWND keep) {
    ::EnumThreadWindows(thread, &Cancel, reinterpret_cast<LPARAM>(keep));
}

void WithinDeadline(const std::string& what, DWORD thread, const std::function<void()>& wait,
                    HWND keep, DWORD timeoutMs) {
    const HANDLE over = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool passed = false; // read after the join
    std::thread watch([&] {
        if (::WaitForSingleObject(over, timeoutMs) == WAIT_OBJECT_0)
            return;
        passed = true;
        CancelModalWaits(thread, keep);
        if (::WaitForSingleObject(over, kGraceMs) == WAIT_OBJECT_0)
            return;
        std::fprintf(stderr, "%s: no end within %lu ms, nor once cancelled; stopping\n",
                     what.c_str(), timeoutMs);
        std::fflush(stderr);
        ::TerminateProcess(::GetCurrentProcess(), 1);
    });
    wait();
    ::SetEvent(over);
    watch.join();
    ::CloseHandle(over);
    if (passed)
        ADD_FAILURE() << what << ": no end within " << timeoutMs << " ms";
}

INT_PTR DoModalWithin(CDialog& dialog, const std::string& what) {
    INT_PTR result = -1;
    WithinDeadline(what, ::GetCurrentThreadId(), [&] { result = dialog.DoModal(); });
    return result;
}
