#include "WorkerThread.h"

namespace {

struct ThreadStart {
    AFX_THREADPROC proc;
    LPVOID param;
};

DWORD WINAPI ThreadEntry(LPVOID raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    return start.proc(start.param);
}

} // namespace

BOOL AfxBeginThread(AFX_THREADPROC proc, LPVOID param) {
    auto* start = new ThreadStart{proc, param};
    HANDLE thread = ::CreateThread(nullptr, 0, &ThreadEntry, start, 0, nullptr);
    if (!thread) {
        delete start;
        return FALSE;
    }
    ::CloseHandle(thread);
    return TRUE;
}
