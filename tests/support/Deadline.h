#pragma once
// A deadline for a wait that cannot watch the clock itself: a modal loop, a
// message box or a popup menu that a thread runs, or a join of that thread.

#include "CDialog.h"

#include <functional>
#include <string>

// Cancels every dialog and message box of thread but keep, and its popup menu.
void CancelModalWaits(DWORD thread, HWND keep = nullptr);

// Runs wait on this thread. Should it outlive the deadline, the modal waits of
// thread (all but keep) are cancelled from a thread of the deadline's own, and
// the test fails naming what it waited for; should it outlive even that, the
// process stops with the same message rather than hang. Dialogs here end within
// a second: the default fails a stuck one in well under 30 s.
void WithinDeadline(const std::string& what, DWORD thread, const std::function<void()>& wait,
                    HWND keep = nullptr, DWORD timeoutMs = 10000);

// DoModal of the dialog, within the deadline.
INT_PTR DoModalWithin(CDialog& dialog, const std::string& what);
