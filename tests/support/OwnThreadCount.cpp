#include "OwnThreadCount.h"

#include <windows.h>
#include <tlhelp32.h>

int OwnThreadCount() {
    // Threads that start in this executable: the test's and the product's,
    // not helpers the platform starts and keeps on its own schedule.
    using QueryThread = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    const int kStartAddress = 9; // ThreadQuerySetWin32StartAddress
    auto* image = reinterpret_cast<const BYTE*>(::GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    const BYTE* imageEnd = image + nt->OptionalHeader.SizeOfImage;
    HANDLE snapshot = query ? ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0) : INVALID_HANDLE_VALUE;
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != ::GetCurrentProcessId())
            continue;
        HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread)
            continue; // ended since the snapshot
        const BYTE* start = nullptr;
        if (query(thread, kStartAddress, &start, sizeof start, nullptr) == 0 && start >= image &&
            start < imageEnd)
            ++count;
        ::CloseHandle(thread);
    }
    ::CloseHandle(snapshot);
    return count;
}
