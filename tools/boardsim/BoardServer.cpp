#include "BoardServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Longest wait in poll, so a stop request is seen soon even if it raced the call.
constexpr int kMaxPollMs = 100;

} // namespace

CBoardServer::CBoardServer(const BoardOptions& options,
                           const volatile std::sig_atomic_t& stopRequested)
    : m_options(options), m_stopRequested(stopRequested), m_state(options.initialChannels, stderr),
      m_log(options.logPath),
      m_nextToggle(Clock::now() + std::chrono::milliseconds(options.toggleMs)) {}

CBoardServer::~CBoardServer() {
    if (m_clientFd >= 0)
        close(m_clientFd);
    if (m_listenFd >= 0)
        close(m_listenFd);
}

int CBoardServer::Run() {
    if (!m_log.IsOpen()) {
        std::fprintf(stderr, "boardsim: cannot write the log %s: %s\n", m_options.logPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (!Listen())
        return 1;
    while (!m_stopRequested) {
        pollfd fd{m_clientFd >= 0 ? m_clientFd : m_listenFd, POLLIN, 0};
        const int ready = poll(&fd, 1, PollTimeoutMs());
        if (ready < 0 && errno != EINTR) {
            std::perror("boardsim: poll");
            return 1;
        }
        if (ready > 0) {
            if (m_clientFd >= 0)
                ReadClient();
            else
                Accept();
        }
        ToggleIfDue();
    }
    if (m_clientFd >= 0)
        CloseClient("boardsim stopping");
    std::fprintf(stderr, "boardsim: stopped\n");
    return 0;
}

bool CBoardServer::Listen() {
    m_listenFd = socket(AF_INET, SOCK_STREAM, 0);
    if (m_listenFd < 0) {
        std::perror("boardsim: socket");
        return false;
    }
    const int yes = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_options.port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listenFd, 4) != 0) {
        std::fprintf(stderr, "boardsim: cannot listen on 127.0.0.1:%u: %s\n", m_options.port,
                     std::strerror(errno));
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("port %u\n", ntohs(address.sin_port));
    std::fflush(stdout);
    std::fprintf(stderr, "boardsim: listening on 127.0.0.1:%u\n", ntohs(address.sin_port));
    return true;
}

void CBoardServer::Accept() {
    m_clientFd = accept(m_listenFd, nullptr, nullptr);
    if (m_clientFd < 0)
        return;
    m_rxIndex = 0;
    m_framesThisConnection = 0;
    std::fprintf(stderr, "%s connection opened\n", LogTimestamp().substr(11).c_str());
    OnConnected();
}

void CBoardServer::OnConnected() {
    const auto& bytes = m_options.sendOnConnect;
    if (!bytes.empty() && !SendAll(bytes.data(), bytes.size()))
        return;
    if (m_options.floodCount > 0 || m_options.floodMs > 0)
        Flood();
}

void CBoardServer::Flood() {
    const auto end = Clock::now() + std::chrono::milliseconds(m_options.floodMs);
    for (unsigned long sent = 0; m_clientFd >= 0 && !m_stopRequested; ++sent) {
        if (m_options.floodCount > 0 && sent >= m_options.floodCount)
            break;
        if (m_options.floodMs > 0 && Clock::now() >= end)
            break;
        const RelayFrame frame = m_state.StatusFrame();
        SendAll(frame.data(), frame.size());
    }
}

void CBoardServer::ReadClient() {
    std::uint8_t buffer[512];
    const ssize_t n = recv(m_clientFd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR)
        return;
    if (n <= 0) {
        CloseClient(n == 0 ? "closed by the panel" : std::strerror(errno));
        return;
    }
    for (ssize_t i = 0; i < n && m_clientFd >= 0; ++i) {
        m_rxFrame[m_rxIndex++] = buffer[i];
        if (m_rxIndex == m_rxFrame.size()) {
            m_rxIndex = 0;
            HandleFrame(m_rxFrame);
        }
    }
}

void CBoardServer::HandleFrame(const RelayFrame& frame) {
    const std::string received = LogTimestamp();
    const bool checksumOk = RelayChecksumOk(frame);
    ++m_framesThisConnection;
    if (checksumOk) {
        if (frame[2] == RELAY_CMD_QUERY)
            SendAnswer();
        else if (!m_options.ignoreCommands && m_state.ApplyCommand(frame))
            SendAnswer();
    }
    // Written after the answer, so a reader of the log knows the answer is on its way.
    m_log.Write(received, frame, checksumOk);
    if (m_options.closeAfter > 0 && m_framesThisConnection >= m_options.closeAfter &&
        m_clientFd >= 0)
        CloseClient("--close-after reached");
}

void CBoardServer::SendAnswer() {
    if (m_options.silent)
        return;
    RelayFrame frame = m_state.StatusFrame();
    ++m_answersSent;
    if (m_options.corruptEvery > 0 && m_answersSent % m_options.corruptEvery == 0)
        ++frame[7];
    const std::size_t piece = m_options.splitBytes > 0 ? m_options.splitBytes : frame.size();
    for (std::size_t offset = 0; offset < frame.size(); offset += piece) {
        if (offset > 0 && !Pause(m_options.splitPauseMs))
            return;
        if (!SendAll(frame.data() + offset, std::min(piece, frame.size() - offset)))
            return;
    }
}

bool CBoardServer::SendAll(const std::uint8_t* data, std::size_t size) {
    while (size > 0 && m_clientFd >= 0) {
        const ssize_t n = send(m_clientFd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR && !m_stopRequested)
            continue;
        if (n <= 0) {
            CloseClient(m_stopRequested ? "boardsim stopping" : std::strerror(errno));
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return m_clientFd >= 0;
}

bool CBoardServer::Pause(unsigned ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!m_stopRequested) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            return true;
        poll(nullptr, 0, static_cast<int>(std::min<long long>(left, kMaxPollMs)));
    }
    return false;
}

void CBoardServer::CloseClient(const char* why) {
    close(m_clientFd);
    m_clientFd = -1;
    std::fprintf(stderr, "%s connection closed: %s\n", LogTimestamp().substr(11).c_str(), why);
}

void CBoardServer::ToggleIfDue() {
    if (m_options.toggleChannel == 0 || Clock::now() < m_nextToggle)
        return;
    m_state.Toggle(m_options.toggleChannel);
    // From now, not from the missed time: after a long flood it flips once, not in a burst.
    m_nextToggle = Clock::now() + std::chrono::milliseconds(m_options.toggleMs);
}

int CBoardServer::PollTimeoutMs() const {
    if (m_options.toggleChannel == 0)
        return kMaxPollMs;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_nextToggle - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left + 1, 0, kMaxPollMs));
}
