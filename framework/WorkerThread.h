#pragma once
// Worker threads: normal priority, default stack, running at once. The
// thread's bookkeeping is freed by the thread itself when the function returns.

#include <windows.h>

using AFX_THREADPROC = UINT (*)(LPVOID param);

// FALSE when the thread could not be started.
BOOL AfxBeginThread(AFX_THREADPROC proc, LPVOID param);
