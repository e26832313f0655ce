#pragma once
// A fresh directory under the temporary folder, made current for its lifetime;
// afterwards the previous directory is current again and the tree is removed.

#include <filesystem>
#include <optional>
#include <string>

class TempDirectory {
  public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    bool IsCurrent() const { return !m_path.empty(); }
    std::string Path() const { return m_path.string(); }

  private:
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};

// A file's bytes, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);
bool WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);
