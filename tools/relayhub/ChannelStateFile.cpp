#include "ChannelStateFile.h"

#include "Sockets.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

constexpr char kHeader[] = "relayhub channel states 1\n";

// FNV-1a: a torn or edited body no longer matches its check line.
std::uint32_t Check(const std::string& text) {
    std::uint32_t hash = 2166136261u;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

std::string Body(std::uint16_t channels) {
    char line[32];
    std::snprintf(line, sizeof line, "channels 0x%04X\n", channels);
    return kHeader + std::string(line);
}

std::string CheckLine(const std::string& body) {
    char line[32];
    std::snprintf(line, sizeof line, "check 0x%08X\n", Check(body));
    return line;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool ReadChannelStateFile(const std::string& path, std::uint16_t& channels, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": none yet";
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    // Whole and ours only when it is exactly what we would write for its channels.
    const auto at = all.find("\nchannels 0x");
    unsigned value = 0;
    if (at == std::string::npos || std::sscanf(all.c_str() + at, "\nchannels 0x%4X", &value) != 1 ||
        all != Body(static_cast<std::uint16_t>(value)) +
                   CheckLine(Body(static_cast<std::uint16_t>(value)))) {
        error = path + ": torn or not a relayhub state file; ignored";
        return false;
    }
    channels = static_cast<std::uint16_t>(value);
    return true;
}

bool WriteChannelStateFile(const std::string& path, std::uint16_t channels, std::string& error) {
    const std::string body = Body(channels);
    const std::string temporary = path + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = temporary + ": " + LastErrorText();
        return false;
    }
    const bool written = WriteAll(fd, body + CheckLine(body)) && fsync(fd) == 0;
    if (!written)
        error = temporary + ": " + LastErrorText();
    close(fd);
    if (!written)
        return false;
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + LastErrorText();
        return false;
    }
    // The rename itself survives a power cut only once the directory is on disk.
    const std::string directory = std::filesystem::path(path).parent_path().string();
    const int dirFd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}
