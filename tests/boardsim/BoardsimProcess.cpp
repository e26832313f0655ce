#include "BoardsimProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

CTempDir::CTempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "boardsim-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
        m_path = pattern;
}

CTempDir::~CTempDir() {
    std::error_code ignored;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ignored);
}

CBoardsimProcess::CBoardsimProcess(const std::vector<std::string>& args) {
    const std::filesystem::path& dir = Dir();
    int out[2];
    if (dir.empty() || pipe2(out, O_CLOEXEC) != 0)
        return;
    const std::string errPath = (dir / "stderr.txt").string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> argStrings{BOARDSIM_PATH};
    for (std::string arg : args) {
        if (const auto at = arg.find("@DIR@"); at != std::string::npos)
            arg.replace(at, 5, dir.string());
        argStrings.push_back(arg);
    }
    std::vector<char*> argv;
    for (auto& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, BOARDSIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_stdoutFd = out[0];
}

CBoardsimProcess::~CBoardsimProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_stdoutFd >= 0)
        close(m_stdoutFd);
}

std::optional<std::string> CBoardsimProcess::FirstLine(Deadline deadline) {
    while (!m_firstLine) {
        const auto newline = m_stdout.find('\n');
        if (newline != std::string::npos) {
            m_firstLine = m_stdout.substr(0, newline);
            m_stdout.erase(0, newline + 1);
            break;
        }
        pollfd fd{m_stdoutFd, POLLIN, 0};
        if (m_stdoutFd < 0 || poll(&fd, 1, MsUntil(deadline)) <= 0)
            return std::nullopt;
        char buffer[256];
        const ssize_t n = read(m_stdoutFd, buffer, sizeof buffer);
        if (n <= 0)
            return std::nullopt;
        m_stdout.append(buffer, static_cast<std::size_t>(n));
    }
    return m_firstLine;
}

std::uint16_t CBoardsimProcess::Port() {
    const auto line = FirstLine(In(std::chrono::seconds(10)));
    if (!line || line->rfind("port ", 0) != 0)
        return 0;
    return static_cast<std::uint16_t>(std::strtoul(line->c_str() + 5, nullptr, 10));
}

std::string CBoardsimProcess::DrainStdout(Deadline deadline) {
    FirstLine(deadline);
    while (m_stdoutFd >= 0) {
        pollfd fd{m_stdoutFd, POLLIN, 0};
        if (poll(&fd, 1, 0) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = read(m_stdoutFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        m_stdout.append(buffer, static_cast<std::size_t>(n));
    }
    return m_stdout;
}

std::string CBoardsimProcess::Stderr() const {
    std::ifstream in(Dir() / "stderr.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<int> CBoardsimProcess::WaitExit(Deadline deadline) {
    while (m_pid > 0) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

void CBoardsimProcess::Signal(int signal) {
    if (m_pid > 0)
        kill(m_pid, signal);
}

std::vector<std::string> WaitForLines(const std::filesystem::path& file, std::size_t count,
                                      Deadline deadline) {
    while (true) {
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        if (lines.size() >= count || std::chrono::steady_clock::now() >= deadline)
            return lines;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
