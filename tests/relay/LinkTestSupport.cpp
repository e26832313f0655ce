#include "LinkTestSupport.h"

#include "SocketStart.h"

#include <tlhelp32.h>

#include <atomic>

namespace {

// Full paths get the prefix that lifts the MAX_PATH limit; relative ones cannot.
std::wstring Extended(const std::wstring& path) {
    bool full = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    return full ? L"\\\\?\\" + path : path;
}

std::wstring Widen(const std::string& text) {
    int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    return wide;
}

void RemoveTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = directory + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(directory.c_str());
}

BOOL CALLBACK FindVisibleBox(HWND hWnd, LPARAM found) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(hWnd, &process);
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(hWnd) &&
        std::string(cls) == "#32770" && ::GetDlgItem(hWnd, 0xFFFF)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool SocketsStarted() {
    static const bool started = AfxSocketInit() != FALSE;
    return started;
}

TempDirectory::TempDirectory() {
    static std::atomic<int> counter{0};
    m_previous = CurrentDirectoryW();
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    m_path = std::string(temp) + "kestrel-rlink-" + std::to_string(::GetCurrentProcessId()) + "-" +
             std::to_string(++counter);
    m_entered =
        ::CreateDirectoryA(m_path.c_str(), nullptr) && ::SetCurrentDirectoryA(m_path.c_str());
}

TempDirectory::~TempDirectory() {
    ::SetCurrentDirectoryW(m_previous.c_str());
    RemoveTree(Extended(Widen(m_path)));
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    HANDLE file = ::CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    ::CloseHandle(file);
    return bytes;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    return ReadWholeFile(Widen(path));
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring CurrentDirectoryW() {
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(needed, L'\0');
    DWORD length = ::GetCurrentDirectoryW(needed, directory.data());
    directory.resize(length < needed ? length : 0);
    return directory;
}

int ThreadCount() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            ++count;
    ::CloseHandle(snapshot);
    return count;
}

bool MessageBoxVisible() {
    bool found = false;
    ::EnumWindows(&FindVisibleBox, reinterpret_cast<LPARAM>(&found));
    return found;
}
