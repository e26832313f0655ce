// The real boardsim binary as a child process, in a temporary directory of its own.
#pragma once

#include "LoopbackClient.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// A fresh directory under the temporary directory, removed with its contents.
class CTempDir {
  public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

class CBoardsimProcess {
  public:
    // Starts boardsim with the arguments given, "@DIR@" in them standing for Dir(); its
    // stdout is read through a pipe, its stderr goes to Dir()/stderr.txt.
    explicit CBoardsimProcess(const std::vector<std::string>& args);
    ~CBoardsimProcess();
    CBoardsimProcess(const CBoardsimProcess&) = delete;
    CBoardsimProcess& operator=(const CBoardsimProcess&) = delete;

    const std::filesystem::path& Dir() const { return m_tempDir.Path(); }

    // The first line of stdout ("port N"), read once, up to the deadline.
    std::optional<std::string> FirstLine(Deadline deadline);
    // The port from the first line; 0 if it did not come.
    std::uint16_t Port();
    // All stdout after the first line up to now (or up to EOF once the child exited).
    std::string DrainStdout(Deadline deadline);
    std::string Stderr() const;

    // Exit status after it exits by itself or after a signal; nullopt at the deadline.
    std::optional<int> WaitExit(Deadline deadline);
    void Signal(int signal);

  private:
    CTempDir m_tempDir;
    pid_t m_pid = -1;
    int m_stdoutFd = -1;
    std::string m_stdout;
    std::optional<std::string> m_firstLine;
};

// Reads a text file's lines; waits until it has at least `count` of them or the deadline.
std::vector<std::string> WaitForLines(const std::filesystem::path& file, std::size_t count,
                                      Deadline deadline);
// Waits until the text produced by `read` contains `needle`.
template <class Read> bool WaitForText(Read read, const std::string& needle, Deadline deadline) {
    while (true) {
        if (read().find(needle) != std::string::npos)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
