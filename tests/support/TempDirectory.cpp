#include "TempDirectory.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Lifts the length limit of full paths on Windows.
fs::path Long(const fs::path& path) {
#ifdef _WIN32
    return L"\\\\?\\" + fs::absolute(path).wstring();
#else
    return path;
#endif
}

} // namespace

TempDirectory::TempDirectory() {
    static std::atomic<int> counter{0};
    std::error_code error;
    m_previous = fs::current_path(error);
    const fs::path path = fs::temp_directory_path(error) /
                          ("kestrel-test-" + std::to_string(std::random_device{}()) + "-" +
                           std::to_string(++counter));
    if (fs::create_directories(path, error)) {
        fs::current_path(path, error);
        if (!error)
            m_path = fs::current_path(error);
    }
}

TempDirectory::~TempDirectory() {
    std::error_code error;
    fs::current_path(m_previous, error);
    if (!m_path.empty())
        fs::remove_all(Long(m_path), error);
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
    std::ifstream file(Long(path), std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool WriteWholeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(Long(path), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file << bytes);
}
