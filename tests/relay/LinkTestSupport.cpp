#include "LinkTestSupport.h"

#include "SocketStart.h"

#include <atomic>
#include <fstream>

namespace {

// Full paths get the prefix that lifts the MAX_PATH limit; relative ones cannot.
std::wstring Extended(const std::wstring& path) {
    bool full = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    return full ? L"\\\\?\\" + path : path;
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
    if (m_entered)
        m_widePath = CurrentDirectoryW();
}

TempDirectory::~TempDirectory() {
    ::SetCurrentDirectoryW(m_previous.c_str());
    if (m_entered)
        RemoveTree(Extended(m_widePath));
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
    return ReadWholeFile(std::wstring(path.begin(), path.end()));
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

std::wstring CurrentDirectoryW() {
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(needed, L'\0');
    DWORD length = ::GetCurrentDirectoryW(needed, directory.data());
    directory.resize(length < needed ? length : 0);
    return directory;
}

