#include "Hub.h"

#include "ChannelRuleEngine.h"
#include "HubOptions.h"
#include "Log.h"
#include "Metrics.h"
#include "PulseLength.h"
#include "RelayRxState.h"
#include "Sockets.h"
#include "SwitchPace.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A connection without a good status frame for this long counts as gone.
constexpr auto kStaleAfter = 5s;
constexpr auto kFirstBackoff = 500ms;
constexpr auto kMaxBackoff = 30s;
// A board that does not answer a switch still gets the next one after this.
constexpr auto kCommandPace = 300ms;
// The panel's receive timer, whose ticks drop a partial frame.
constexpr auto kRxTick = 30ms;
constexpr std::size_t kClientQueueLimit = 64 * 1024;
constexpr int kClientSendBuffer = 16 * 1024;
// What the board may owe us unsent before we call it gone (it reads nothing).
constexpr std::size_t kBoardQueueLimit = 4096;
// After running out of file descriptors, the listener rests rather than spin.
constexpr auto kAcceptPause = 1s;
constexpr int kAcceptsPerRound = 64;

const RelayFrame kQuery = BuildRelayCommand(RELAY_CMD_QUERY, 0);

// Half of the unit's WatchdogSec= when systemd asks for pings, else zero.
Clock::duration WatchdogPeriod() {
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0)
        return Clock::duration::zero();
    return std::chrono::microseconds(usec / 2);
}

bool IsSwitch(std::uint8_t command) {
    return command == RELAY_CMD_OFF || command == RELAY_CMD_ON || command == RELAY_CMD_SET_ALL;
}

std::string Hex(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string ChannelText(std::uint16_t channels) {
    if (channels == 0)
        return "none on";
    std::string text = "on:";
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        if (channels >> (channel - 1) & 1)
            text.append(" ").append(std::to_string(channel));
    }
    return text;
}

struct Command {
    RelayFrame frame;
    SwitchSource source = SwitchSource::Client;
    std::string from;
    int pulseMs = 0; // an ON as a pulse of this length
};

struct Client {
    int fd = -1; // -1 once closed; swept out after the round
    std::string name;
    RelayFrame rx{};
    std::size_t rxCount = 0;
    std::string out; // bytes not yet taken by the kernel
};

enum class Link { Waiting, Connecting, Connected };

} // namespace

struct CRelayHub::State {
    explicit State(const HubOptions& options)
        : options(options), where(options.boardHost + ":" + std::to_string(options.boardPort)),
          pollPeriod(std::chrono::milliseconds(options.pollMs)),
          engine(options.stateDir.empty() ? "" : options.stateDir + "/channels.state", HubLog) {}

    const HubOptions options;
    const std::string where;
    const Clock::duration pollPeriod;
    std::vector<HubListener*> listeners;

    // Shared with other threads.
    mutable std::mutex mutex;
    mutable std::condition_variable statusArrived;
    BoardSnapshot snapshot;
    ChannelRules rules;
    bool rulesChanged = false;
    std::deque<Command> fromProcess;
    std::atomic<bool> stop{false};
    int wakeFd = -1;
    std::thread thread;

    // The hub's thread only.
    int listenFd = -1;
    Clock::time_point acceptPausedUntil{};
    std::vector<std::unique_ptr<Client>> clients;

    Link link = Link::Waiting;
    int boardFd = -1;
    bool up = false; // a good status frame seen on this connection
    std::string boardOut;
    Clock::time_point nextAttempt{};
    Clock::time_point connectDeadline{};
    Clock::duration backoff = kFirstBackoff;
    bool failureLogged = false;
    CRelayRxState rx;
    Clock::time_point rxTickBase{};
    Clock::time_point lastGood{};
    Clock::time_point lastQuery{};
    RelayFrame lastStatus{};
    Clock::time_point lastStatusAt{};
    std::uint16_t channels = 0;

    std::deque<Command> commands;
    CSwitchPace pace{kCommandPace};
    CSwitchTimer confirms;
    CChannelRuleEngine engine;
    // The timers as the listeners last heard of them.
    std::array<Clock::time_point, RELAY_CHANNEL_COUNT> timersTold = BoardSnapshot().offAt;

    CRateLimitedLog badFrames, refusedClients, droppedCommands, boardGarbage;

    // Pinged from this loop, so that a hub whose loop hangs is restarted.
    const Clock::duration watchdogPeriod = WatchdogPeriod();
    Clock::time_point nextWatchdog{};

    void Run();
    Clock::time_point NextDeadline() const;
    void RunTimers(Clock::time_point now);

    void StartConnect(Clock::time_point now);
    void FinishConnect(Clock::time_point now);
    void OnConnected(Clock::time_point now);
    void LoseBoard(const std::string& why, Clock::time_point now,
                   DownReason reason = DownReason::Error);
    void ReadBoard(Clock::time_point now);
    void OnStatus(const RelayFrame& frame, Clock::time_point now);
    void SendToBoard(const RelayFrame& frame);
    void FlushBoard(Clock::time_point now);
    void SendQuery(Clock::time_point now);
    void PumpCommands(Clock::time_point now);
    void TakeProcessCommands();
    // The rules' own switches, ahead of the queue.
    void TakeRuleFrames();
    // Into the snapshot, and to the listeners when they differ from the last told.
    void PublishTimers();

    void AcceptClients(Clock::time_point now);
    void ReadClient(Client& client, Clock::time_point now);
    // False for a frame that is not one (bad checksum, another header or address).
    bool OnClientFrame(Client& client, const RelayFrame& frame, Clock::time_point now);
    // False when the client was dropped for the bytes it has not read.
    bool QueueToClient(Client& client, const std::uint8_t* data, std::size_t size);
    void SendToClient(Client& client, const std::uint8_t* data, std::size_t size);
    void FlushClient(Client& client);
    void CloseClient(Client& client, const std::string& why);
    void Sweep();
    // Clients closed in this round still sit in the list until the sweep.
    int OpenClients() const;
    std::string ClientCount() const;
    void CloseAll();
};

void CRelayHub::State::Run() {
    std::vector<pollfd> fds;
    std::vector<Client*> polled;
    while (!stop) {
        const auto now = Clock::now();
        RunTimers(now);
        fds.clear();
        polled.clear();
        fds.push_back({wakeFd, POLLIN, 0});
        const bool listening = now >= acceptPausedUntil;
        fds.push_back({listening ? listenFd : -1, POLLIN, 0});
        short boardEvents = 0;
        if (link == Link::Connecting)
            boardEvents = POLLOUT;
        else if (link == Link::Connected)
            boardEvents = static_cast<short>(POLLIN | (boardOut.empty() ? 0 : POLLOUT));
        fds.push_back({boardEvents ? boardFd : -1, boardEvents, 0});
        for (const auto& client : clients) {
            fds.push_back(
                {client->fd, static_cast<short>(POLLIN | (client->out.empty() ? 0 : POLLOUT)), 0});
            polled.push_back(client.get());
        }
        // Before the wait, so that a timer that ran out in RunTimers is told at once.
        PublishTimers();
        const auto deadline = NextDeadline();
        int waitMs = -1;
        if (deadline != Clock::time_point::max()) {
            // Rounded up, so the loop does not wake just before a deadline and spin.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            waitMs = static_cast<int>(std::clamp<long long>(left.count(), 0, 60000));
        }
        if (poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR) {
            HubLog("poll failed: " + LastErrorText());
            break;
        }
        const auto woke = Clock::now();
        if (fds[0].revents) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto got = read(wakeFd, &count, sizeof count);
            TakeProcessCommands();
        }
        if (fds[2].revents) {
            if (link == Link::Connecting)
                FinishConnect(woke);
            else if (link == Link::Connected) {
                if (fds[2].revents & POLLOUT)
                    FlushBoard(woke);
                if (link == Link::Connected && fds[2].revents & (POLLIN | POLLHUP | POLLERR))
                    ReadBoard(woke);
            }
        }
        for (std::size_t i = 0; i < polled.size(); ++i) {
            Client& client = *polled[i];
            const short events = fds[i + 3].revents;
            if (client.fd >= 0 && events & POLLOUT)
                FlushClient(client);
            if (client.fd >= 0 && events & (POLLIN | POLLHUP | POLLERR))
                ReadClient(client, woke);
        }
        if (fds[1].revents)
            AcceptClients(woke);
        Sweep();
    }
    CloseAll();
}

Clock::time_point CRelayHub::State::NextDeadline() const {
    auto deadline = Clock::time_point::max();
    switch (link) {
    case Link::Waiting:
        deadline = nextAttempt;
        break;
    case Link::Connecting:
        deadline = connectDeadline;
        break;
    case Link::Connected:
        deadline = std::min(lastQuery + pollPeriod, lastGood + kStaleAfter);
        if (!commands.empty() && pace.Waiting())
            deadline = std::min(deadline, pace.PaceUntil());
        break;
    }
    if (acceptPausedUntil > Clock::now())
        deadline = std::min(deadline, acceptPausedUntil);
    if (watchdogPeriod > Clock::duration::zero())
        deadline = std::min(deadline, nextWatchdog);
    return std::min(deadline, engine.NextDeadline());
}

void CRelayHub::State::RunTimers(Clock::time_point now) {
    if (watchdogPeriod > Clock::duration::zero() && now >= nextWatchdog) {
        sd_notify(0, "WATCHDOG=1");
        nextWatchdog = now + watchdogPeriod;
    }
    if (link == Link::Waiting && now >= nextAttempt)
        StartConnect(now);
    if (link == Link::Connecting && now >= connectDeadline)
        LoseBoard("no answer within " + std::to_string(options.connectTimeoutMs) + " ms", now);
    if (link == Link::Connected && now - lastGood >= kStaleAfter)
        LoseBoard("no good status frame for 5 s", now, DownReason::Stale);
    if (link == Link::Connected && now - lastQuery >= pollPeriod)
        SendQuery(now);
    engine.Tick(now);
    TakeRuleFrames();
    if (link == Link::Connected)
        PumpCommands(now);
}

// Upstream: the board.

void CRelayHub::State::StartConnect(Clock::time_point now) {
    bool inProgress = false;
    std::string error;
    boardFd = ::StartConnect(options.boardHost, options.boardPort, inProgress, error);
    if (boardFd < 0) {
        LoseBoard(error, now);
        return;
    }
    link = Link::Connecting;
    connectDeadline = now + std::chrono::milliseconds(options.connectTimeoutMs);
    if (!inProgress)
        OnConnected(now);
}

void CRelayHub::State::FinishConnect(Clock::time_point now) {
    const std::string error = ConnectError(boardFd);
    if (error.empty())
        OnConnected(now);
    else
        LoseBoard(error, now);
}

void CRelayHub::State::OnConnected(Clock::time_point now) {
    link = Link::Connected;
    SetNoDelay(boardFd);
    rx = {};
    rxTickBase = now;
    lastGood = now;
    // The first query at once: the board counts as up only with its status.
    SendQuery(now);
}

void CRelayHub::State::LoseBoard(const std::string& why, Clock::time_point now, DownReason reason) {
    if (boardFd >= 0)
        close(boardFd);
    boardFd = -1;
    link = Link::Waiting;
    boardOut.clear();
    pace.Reset();
    nextAttempt = now + backoff;
    char retrying[64];
    std::snprintf(retrying, sizeof retrying, "; retrying in %.1f s, then doubling up to 30 s",
                  std::chrono::duration<double>(backoff).count());
    backoff = std::min(backoff * 2, std::chrono::duration_cast<Clock::duration>(kMaxBackoff));
    if (!up) {
        if (!failureLogged)
            HubLog("board " + where + " unavailable: " + why + retrying);
        failureLogged = true;
        return;
    }
    up = false;
    failureLogged = true;
    Metrics().Count(reason);
    confirms.Clear();
    engine.BoardDown();
    if (!commands.empty())
        HubLog("dropped " + std::to_string(commands.size()) + " queued switches: board down");
    commands.clear();
    {
        std::lock_guard lock(mutex);
        snapshot.up = false;
    }
    statusArrived.notify_all();
    HubLog("board " + where + " down: " + why + retrying);
    for (HubListener* listener : listeners)
        listener->BoardDown();
}

void CRelayHub::State::ReadBoard(Clock::time_point now) {
    std::uint8_t buffer[4096];
    const ssize_t got = recv(boardFd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        LoseBoard(got == 0 ? "closed by the board" : LastErrorText(), now,
                  got == 0 ? DownReason::Closed : DownReason::Error);
        return;
    }
    // The panel's 30 ms timer, ticked for the quiet time before these bytes.
    const auto ticks = (now - rxTickBase) / kRxTick;
    for (auto n = std::min<decltype(ticks)>(ticks, RELAY_RX_TIMEOUT_TICKS); n > 0; --n)
        rx.TickRxTimeout();
    rxTickBase += ticks * kRxTick;
    std::size_t bad = 0;
    for (ssize_t i = 0; i < got && link == Link::Connected; ++i) {
        const bool lastByte = rx.m_rxIndex == RELAY_FRAME_SIZE - 1 && rx.m_rxTimeout > 0;
        if (rx.PushRxByte(buffer[i]))
            OnStatus(rx.m_rxFrame, now);
        else if (lastByte)
            ++bad;
    }
    Metrics().badFrames += bad;
    if (bad > 0)
        boardGarbage.Write("board " + where + " sent " + std::to_string(bad) +
                           " frames with a bad checksum");
    // The statuses of one read go out together: a send per client, not one per frame.
    for (const auto& client : clients) {
        if (client->fd >= 0 && !client->out.empty())
            FlushClient(*client);
    }
}

void CRelayHub::State::OnStatus(const RelayFrame& frame, Clock::time_point now) {
    lastGood = now;
    lastStatus = frame;
    lastStatusAt = now;
    ++Metrics().statusFrames;
    for (const auto& client : clients) {
        if (client->fd >= 0)
            QueueToClient(*client, frame.data(), frame.size());
    }
    const std::uint16_t previous = channels;
    channels = RelayStatusChannels(frame);
    const bool first = !up;
    up = true;
    if (first)
        HubLog("board " + where + " up: " + ChannelText(channels));
    const bool switchInFlight = pace.Waiting();
    pace.StatusReceived(now);
    engine.Status(channels, first, switchInFlight && !pace.Waiting(), now);
    {
        std::lock_guard lock(mutex);
        snapshot.up = true;
        snapshot.channels = channels;
        snapshot.offAt = engine.OffAt();
        ++snapshot.statusCount;
    }
    statusArrived.notify_all();
    confirms.Status(channels, now);
    if (first) {
        ++Metrics().boardConnects;
        backoff = kFirstBackoff;
        failureLogged = false;
        for (HubListener* listener : listeners)
            listener->BoardUp(channels);
    } else if (channels != previous) {
        for (HubListener* listener : listeners)
            listener->StatusChanged(channels, static_cast<std::uint16_t>(channels ^ previous));
    }
    TakeRuleFrames();
    PumpCommands(now);
}

void CRelayHub::State::SendToBoard(const RelayFrame& frame) {
    boardOut.append(frame.begin(), frame.end());
    if (boardOut.size() > kBoardQueueLimit) {
        LoseBoard("it takes no more frames", Clock::now(), DownReason::Overflow);
        return;
    }
    if (boardOut.size() == frame.size())
        FlushBoard(Clock::now());
}

void CRelayHub::State::FlushBoard(Clock::time_point now) {
    const ssize_t sent = send(boardFd, boardOut.data(), boardOut.size(), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (sent < 0) {
        LoseBoard(LastErrorText(), now);
        return;
    }
    boardOut.erase(0, static_cast<std::size_t>(sent));
}

void CRelayHub::State::SendQuery(Clock::time_point now) {
    lastQuery = now;
    pace.QuerySent();
    SendToBoard(kQuery);
}

void CRelayHub::State::PumpCommands(Clock::time_point now) {
    while (link == Link::Connected && !commands.empty() && pace.MayGo(now)) {
        const Command command = std::move(commands.front());
        commands.pop_front();
        RelayFrame frame = command.frame;
        if (command.source != SwitchSource::Rule) {
            const auto admitted = engine.Admit(frame, command.from, command.pulseMs, now);
            TakeRuleFrames();
            if (!admitted)
                continue;
            frame = *admitted;
        }
        Metrics().Count(command.source);
        confirms.Sent(frame, now);
        pace.SwitchSent(now);
        engine.Sent(frame, now);
        SendToBoard(frame);
    }
}

void CRelayHub::State::TakeRuleFrames() {
    const auto frames = engine.TakeFrames();
    if (!up)
        return;
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
        commands.push_front({*frame, SwitchSource::Rule, "rules"});
}

void CRelayHub::State::PublishTimers() {
    const auto offAt = engine.OffAt();
    {
        std::lock_guard lock(mutex);
        snapshot.offAt = offAt;
    }
    if (offAt == timersTold)
        return;
    timersTold = offAt;
    for (HubListener* listener : listeners)
        listener->TimersChanged(offAt);
}

void CRelayHub::State::TakeProcessCommands() {
    std::deque<Command> taken;
    bool newRules = false;
    ChannelRules inForce;
    {
        std::lock_guard lock(mutex);
        taken.swap(fromProcess);
        newRules = std::exchange(rulesChanged, false);
        inForce = rules;
    }
    if (newRules) {
        engine.SetRules(inForce);
        for (HubListener* listener : listeners)
            listener->RulesChanged(inForce);
    }
    for (Command& command : taken) {
        if (up)
            commands.push_back(std::move(command));
        else
            droppedCommands.Write("dropped " + Hex(command.frame[2]) + " from " + command.from +
                                  ": board down");
    }
    PumpCommands(Clock::now());
}

// Downstream: the clients.

void CRelayHub::State::AcceptClients(Clock::time_point now) {
    for (int round = 0; round < kAcceptsPerRound; ++round) {
        std::string peer;
        const int fd = AcceptOne(listenFd, peer);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                refusedClients.Write("cannot accept clients: " + LastErrorText());
                acceptPausedUntil = now + kAcceptPause;
            }
            return;
        }
        const int open = OpenClients();
        if (!up || open >= options.maxClients) {
            close(fd);
            Metrics().Count(up ? RefusedReason::Full : RefusedReason::BoardDown);
            refusedClients.Write(
                "client " + peer + " refused: " +
                (up ? std::to_string(open) + " clients already" : std::string("board down")));
            continue;
        }
        SetNoDelay(fd);
        SetSendBuffer(fd, kClientSendBuffer);
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->name = "client " + peer;
        clients.push_back(std::move(client));
        Metrics().clients = OpenClients();
        HubLog(clients.back()->name + " connected (" + ClientCount() + ")");
    }
}

void CRelayHub::State::ReadClient(Client& client, Clock::time_point now) {
    std::uint8_t buffer[4096];
    const ssize_t got = recv(client.fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        // A client that closes with our frames unread resets: that is a close as well.
        CloseClient(client, got == 0 || errno == ECONNRESET ? "closed" : LastErrorText());
        return;
    }
    // Garbage costs the reading and one log call per read, however much there is.
    std::size_t bad = 0;
    for (ssize_t i = 0; i < got && client.fd >= 0; ++i) {
        client.rx[client.rxCount++] = buffer[i];
        if (client.rxCount == RELAY_FRAME_SIZE) {
            client.rxCount = 0;
            if (!OnClientFrame(client, client.rx, now))
                ++bad;
        }
    }
    Metrics().Count(DroppedReason::BadFrame, bad);
    if (bad > 0)
        badFrames.Write("dropped " + std::to_string(bad) + " bad frames from " + client.name);
}

bool CRelayHub::State::OnClientFrame(Client& client, const RelayFrame& frame,
                                     Clock::time_point now) {
    if (!RelayChecksumOk(frame) || frame[0] != RELAY_FRAME_HEADER ||
        frame[1] != RELAY_BOARD_ADDRESS)
        return false;
    const std::uint8_t command = frame[2];
    if (command == RELAY_CMD_QUERY) {
        // While the board is down the clients get nothing, not even an old status.
        if (!up)
            return true;
        if (now - lastStatusAt < pollPeriod)
            SendToClient(client, lastStatus.data(), lastStatus.size());
        else if (now - lastQuery >= pollPeriod)
            SendQuery(now);
        // Otherwise a query is on its way, and its answer goes to every client.
        return true;
    }
    if (!IsSwitch(command)) {
        Metrics().Count(DroppedReason::NotASwitch);
        droppedCommands.Write("dropped command " + Hex(command) + " from " + client.name);
    } else if (!up) {
        Metrics().Count(DroppedReason::BoardDown);
        droppedCommands.Write("dropped " + Hex(command) + " from " + client.name + ": board down");
    } else {
        commands.push_back({frame, SwitchSource::Client, client.name});
        PumpCommands(now);
    }
    return true;
}

bool CRelayHub::State::QueueToClient(Client& client, const std::uint8_t* data, std::size_t size) {
    if (client.out.size() + size > kClientQueueLimit) {
        CloseClient(client, "it does not read (64 KiB queued)");
        return false;
    }
    client.out.append(data, data + size);
    return true;
}

void CRelayHub::State::SendToClient(Client& client, const std::uint8_t* data, std::size_t size) {
    const bool idle = client.out.empty();
    if (QueueToClient(client, data, size) && idle)
        FlushClient(client);
}

void CRelayHub::State::FlushClient(Client& client) {
    const ssize_t sent = send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (sent < 0) {
        CloseClient(client, LastErrorText());
        return;
    }
    client.out.erase(0, static_cast<std::size_t>(sent));
}

void CRelayHub::State::CloseClient(Client& client, const std::string& why) {
    close(client.fd);
    client.fd = -1;
    client.out.clear();
    Metrics().clients = OpenClients();
    HubLog(client.name + " gone: " + why + " (" + ClientCount() + ")");
}

void CRelayHub::State::Sweep() {
    std::erase_if(clients, [](const auto& client) { return client->fd < 0; });
}

int CRelayHub::State::OpenClients() const {
    return static_cast<int>(std::count_if(clients.begin(), clients.end(),
                                          [](const auto& client) { return client->fd >= 0; }));
}

std::string CRelayHub::State::ClientCount() const {
    return std::to_string(OpenClients()) + " of " + std::to_string(options.maxClients);
}

void CRelayHub::State::CloseAll() {
    for (const auto& client : clients) {
        if (client->fd >= 0)
            close(client->fd);
    }
    clients.clear();
    if (boardFd >= 0)
        close(boardFd);
    boardFd = -1;
    link = Link::Waiting;
    up = false;
    engine.Flush();
    close(listenFd);
    listenFd = -1;
    {
        std::lock_guard lock(mutex);
        snapshot.up = false;
    }
    statusArrived.notify_all();
}

// The interface.

CRelayHub::CRelayHub(const HubOptions& options) : m_state(std::make_unique<State>(options)) {}

CRelayHub::~CRelayHub() {
    Stop();
}

void CRelayHub::AddListener(HubListener& listener) {
    m_state->listeners.push_back(&listener);
}

bool CRelayHub::Start(std::string& error) {
    State& state = *m_state;
    if (state.thread.joinable()) {
        error = "already started";
        return false;
    }
    std::uint16_t bound = 0;
    state.listenFd = ListenOn(state.options.listenHost, state.options.listenPort, bound, error);
    if (state.listenFd < 0) {
        error = "cannot listen on " + state.options.listenHost + ":" +
                std::to_string(state.options.listenPort) + ": " + error;
        return false;
    }
    state.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (state.wakeFd < 0) {
        error = "eventfd: " + LastErrorText();
        close(state.listenFd);
        return false;
    }
    HubLog("listening for clients on " + state.options.listenHost + ":" + std::to_string(bound) +
           "; board " + state.where);
    {
        std::lock_guard lock(state.mutex);
        state.engine.SetRules(state.rules);
        state.rulesChanged = false;
    }
    state.stop = false;
    state.thread = std::thread([&state] { state.Run(); });
    return true;
}

void CRelayHub::Stop() {
    State& state = *m_state;
    if (!state.thread.joinable())
        return;
    state.stop = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(state.wakeFd, &one, sizeof one);
    state.thread.join();
    close(state.wakeFd);
    state.wakeFd = -1;
}

void CRelayHub::SetRules(const ChannelRules& rules) {
    std::lock_guard lock(m_state->mutex);
    m_state->rules = rules;
    m_state->rulesChanged = true;
    if (m_state->wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(m_state->wakeFd, &one, sizeof one);
    }
}

ChannelRules CRelayHub::Rules() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->rules;
}

bool CRelayHub::PulseChannel(int channel, int ms, SwitchSource source, const std::string& from) {
    State& state = *m_state;
    if (channel < 1 || channel > RELAY_CHANNEL_COUNT || ms < PULSE_MS_MIN || ms > PULSE_MS_MAX) {
        state.droppedCommands.Write("dropped a pulse of channel " + std::to_string(channel) +
                                    " for " + std::to_string(ms) + " ms from " + from +
                                    ": channels 1 to 16, 50 to 60000 ms");
        return false;
    }
    return Queue(BuildRelayCommand(RELAY_CMD_ON, static_cast<std::uint32_t>(channel)), source, from,
                 ms);
}

bool CRelayHub::SendCommand(const RelayFrame& frame, SwitchSource source, const std::string& from) {
    if (!IsSwitch(frame[2]) || !RelayChecksumOk(frame)) {
        m_state->droppedCommands.Write("dropped " + Hex(frame[2]) + " from " + from +
                                       ": not a switch");
        return false;
    }
    return Queue(frame, source, from, 0);
}

bool CRelayHub::Queue(const RelayFrame& frame, SwitchSource source, const std::string& from,
                      int pulseMs) {
    State& state = *m_state;
    {
        std::lock_guard lock(state.mutex);
        if (state.snapshot.up) {
            state.fromProcess.push_back({frame, source, from, pulseMs});
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = write(state.wakeFd, &one, sizeof one);
            return true;
        }
    }
    state.droppedCommands.Write("dropped " + Hex(frame[2]) + " from " + from + ": board down");
    return false;
}

BoardSnapshot CRelayHub::Snapshot() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->snapshot;
}

BoardSnapshot CRelayHub::WaitForStatus(std::uint64_t afterCount,
                                       std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(m_state->mutex);
    m_state->statusArrived.wait_until(lock, deadline, [&] {
        return !m_state->snapshot.up || m_state->snapshot.statusCount > afterCount;
    });
    return m_state->snapshot;
}
