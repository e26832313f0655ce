// Files, directories, threads and windows as the link tests observe them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Starts Windows Sockets once, as the panel does at start-up.
bool SocketsStarted();

// A fresh directory under the temporary folder, made current for its lifetime;
// afterwards the previous directory is current again and the tree is removed.
class TempDirectory {
  public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    bool IsCurrent() const { return m_entered; }
    const std::string& Path() const { return m_path; }

  private:
    std::wstring m_previous;
    std::string m_path;
    std::wstring m_widePath;
    bool m_entered = false;
};

// A file's bytes, or nothing when it cannot be opened; paths may exceed MAX_PATH, and
// narrow ones are ASCII.
std::optional<std::string> ReadWholeFile(const std::wstring& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// The current directory in full, whatever its length.
std::wstring CurrentDirectoryW();
