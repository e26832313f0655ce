// The real control panel, timed from a dialog class derived from it: it notes when a
// status frame is applied, when all sixteen channel buttons have been drawn after it,
// and when a click reaches a channel button. A driver thread plays the user (Connect,
// the success message, clicks) by posting the messages the controls would get.
//
//   kestrel_bench latency N            status frame to screen, board on a thread of this process
//   kestrel_bench click N              click to wire, same board
//   kestrel_bench throughput N PORT    frames applied from "boardsim --flood N" on PORT
//   kestrel_bench badframes N          N bad-checksum frames from the in-process board, handed
//                                      off and reassembled (no repaint)
//   kestrel_bench badfloor N           the same into a plain window procedure
//   kestrel_bench rawread N PORT BYTES raw reading of the same stream, BYTES per recv
//   kestrel_bench loopback N           8 bytes from one thread to another over loopback
//
// It writes canshu.ini (127.0.0.1 and the board's port) into its working directory before
// the panel reads it, and refuses to press Connect for any other address. Results are
// "name value" lines on standard output, times in microseconds.

#include "BenchClock.h"
#include "CRelayDlg.h"
#include "CWinApp.h"
#include "LoopbackBoard.h"
#include "MessageBoxWatcher.h"
#include "SocketStart.h"
#include "resource.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 10000;

class CBenchRelayDlg : public CRelayDlg {
  public:
    std::atomic<HWND> shown{nullptr};
    std::atomic<int> applied{0};
    std::atomic<double> firstByteAt{0};
    std::atomic<long> bytesHandled{0};
    std::atomic<double> lastByteAt{0};
    std::atomic<double> appliedAt{0};
    std::atomic<double> paintedAt{0};
    std::atomic<double> clickAt{0};
    HANDLE painted = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);

    ~CBenchRelayDlg() override { ::CloseHandle(painted); }

  protected:
    BOOL OnInitDialog() override {
        BOOL result = CRelayDlg::OnInitDialog();
        shown = m_hWnd;
        return result;
    }

    void ApplyStatusFrame() override {
        CRelayDlg::ApplyStatusFrame();
        m_drawn = 0;
        appliedAt = NowUs();
        ++applied;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_RELAY_RXBYTE && firstByteAt == 0)
            firstByteAt = NowUs();
        LRESULT result = CRelayDlg::WindowProc(message, wParam, lParam);
        if (message == WM_RELAY_RXBYTE) {
            lastByteAt = NowUs();
            ++bytesHandled;
        }
        // One bit per channel button drawn since the last frame was applied.
        if (message == WM_DRAWITEM && wParam >= IDC_CHANNEL1 && wParam <= IDC_CHANNEL16) {
            m_drawn |= 1u << (wParam - IDC_CHANNEL1);
            if (m_drawn == 0xFFFF) {
                m_drawn |= 0x10000; // reported once per frame
                paintedAt = NowUs();
                ::SetEvent(painted);
            }
        }
        return result;
    }

    BOOL PreTranslateMessage(MSG* msg) override {
        int id = ::GetDlgCtrlID(msg->hwnd);
        if (msg->message == WM_LBUTTONUP && id >= IDC_CHANNEL1 && id <= IDC_CHANNEL16)
            clickAt = NowUs();
        return CRelayDlg::PreTranslateMessage(msg);
    }

  private:
    unsigned m_drawn = 0x10000;
};

void WriteSettings(unsigned port) {
    FILE* ini = std::fopen("canshu.ini", "wb");
    if (!ini)
        return;
    std::fprintf(ini, "[canshu_v2]\r\nsocket_port=%u\r\nsocket_ip=127.0.0.1\r\n", port);
    std::fclose(ini);
}

// Spins (yielding) rather than sleeps, so the moment a condition holds is seen at once.
bool WaitUntil(DWORD timeoutMs, const auto& condition) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

Bytes FrameBytes(const RelayFrame& frame) {
    return Bytes(frame.begin(), frame.end());
}

// Presses Connect as a click would and answers the success message. False (with the
// reason on standard error) when the panel is not set to loopback or nothing connects.
bool Connect(CBenchRelayDlg& dlg, LoopbackBoard* board) {
    if (!WaitUntil(kWaitMs, [&] { return dlg.shown != nullptr; }))
        return false;
    HWND panel = dlg.shown;
    char address[64] = {};
    ::GetDlgItemTextA(panel, IDC_IP, address, sizeof address);
    if (std::string(address) != "127.0.0.1") {
        std::fprintf(stderr, "kestrel_bench: address box holds %s, not 127.0.0.1\n", address);
        return false;
    }
    ::PostMessageA(panel, WM_COMMAND, MAKEWPARAM(IDC_CONNECT, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(panel, IDC_CONNECT)));
    if (board && !WaitUntil(kWaitMs, [&] { return board->ConnectionCount() == 1; })) {
        std::fprintf(stderr, "kestrel_bench: the panel did not connect\n");
        return false;
    }
    if (AnswerMessageBox(kWaitMs).text.empty()) {
        std::fprintf(stderr, "kestrel_bench: no message after Connect\n");
        return false;
    }
    return !board || WaitUntil(kWaitMs, [&] { return board->Received(0).size() >= 8; });
}

void Report(const char* name, const std::vector<double>& samples) {
    std::printf("%s_median %.1f\n%s_p99 %.1f\n%s_samples %zu\n", name, Percentile(samples, 0.5),
                name, Percentile(samples, 0.99), name, samples.size());
}

void Latency(CBenchRelayDlg& dlg, LoopbackBoard& board, int count) {
    std::vector<double> toApply, toScreen;
    for (int i = 0; i < count; ++i) {
        // Alternate patterns, so every channel changes colour on every frame.
        const BYTE bits = i % 2 ? 0xA5 : 0x5A;
        const RelayFrame frame = BuildRelayFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_QUERY, 0, 0, bits,
                                                 static_cast<BYTE>(~bits));
        ::ResetEvent(dlg.painted);
        const double sentAt = NowUs();
        if (!board.Send(0, FrameBytes(frame)) ||
            ::WaitForSingleObject(dlg.painted, 2000) != WAIT_OBJECT_0)
            break;
        toApply.push_back(dlg.appliedAt - sentAt);
        toScreen.push_back(dlg.paintedAt - sentAt);
        ::Sleep(15);
    }
    Report("frame_to_apply_us", toApply);
    Report("frame_to_screen_us", toScreen);
}

void Click(CBenchRelayDlg& dlg, LoopbackBoard& board, int count) {
    std::vector<double> toWire;
    // Command frames the board has read so far; the periodic queries do not count.
    auto commands = [&] {
        const Bytes received = board.Received(0);
        size_t n = 0;
        for (size_t at = 2; at < received.size(); at += RELAY_FRAME_SIZE)
            n += received[at] != RELAY_CMD_QUERY;
        return n;
    };
    for (int i = 0; i < count; ++i) {
        HWND button = ::GetDlgItem(dlg.shown, IDC_CHANNEL1 + i % RELAY_CHANNEL_COUNT);
        RECT rect;
        ::GetClientRect(button, &rect);
        const LPARAM centre = MAKELPARAM(rect.right / 2, rect.bottom / 2);
        const size_t before = commands();
        ::PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, centre);
        ::PostMessageA(button, WM_LBUTTONUP, 0, centre);
        if (!WaitUntil(2000, [&] { return commands() > before; }))
            break;
        toWire.push_back(NowUs() - dlg.clickAt);
        ::Sleep(15);
    }
    Report("click_to_wire_us", toWire);
}

void Throughput(CBenchRelayDlg& dlg, int count) {
    // Until every flooded frame is in, or nothing more came for three seconds.
    int seen = -1;
    ULONGLONG quietSince = ::GetTickCount64();
    while (dlg.applied < count && ::GetTickCount64() - quietSince < 3000) {
        if (dlg.applied != seen) {
            seen = dlg.applied;
            quietSince = ::GetTickCount64();
        }
        ::Sleep(20);
    }
    const double seconds = (dlg.appliedAt - dlg.firstByteAt) / 1e6;
    std::printf("panel_frames_sent %d\npanel_frames_applied %d\npanel_seconds %.3f\n"
                "panel_frames_per_s %.0f\n",
                count, dlg.applied.load(), seconds, seconds > 0 ? dlg.applied / seconds : 0);
}

// Sends count frames whose checksum is one off in one go and reports how fast the
// receiver took them: first byte handled to last.
void BadFrames(const std::atomic<long>& bytes, const std::atomic<double>& firstAt,
               const std::atomic<double>& lastAt, LoopbackBoard& board, int count,
               const char* name) {
    Bytes stream;
    for (int i = 0; i < count; ++i) {
        RelayFrame frame = BuildRelayCommand(RELAY_CMD_QUERY, static_cast<std::uint32_t>(i));
        ++frame[7];
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    const long before = bytes;
    board.Send(0, stream);
    WaitUntil(60000, [&] { return bytes - before >= static_cast<long>(stream.size()); });
    const double seconds = (lastAt - firstAt) / 1e6;
    std::printf("%s_bad_frames %ld\n%s_bad_frames_per_s %.0f\n", name, (bytes - before) / 8,
                name, seconds > 0 ? count / seconds : 0);
}

// The floor of the bad-frame row: a plain window procedure that runs the same
// reassembly on WM_RELAY_RXBYTE, sent by a plain thread reading a byte at a time.
std::atomic<long> g_floorBytes{0};
std::atomic<double> g_floorFirstAt{0};
std::atomic<double> g_floorLastAt{0};
CRelayRxState g_floorRx;

LRESULT CALLBACK FloorProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_RELAY_RXBYTE)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    if (g_floorFirstAt == 0)
        g_floorFirstAt = NowUs();
    g_floorRx.PushRxByte(static_cast<std::uint8_t>(wParam & 0xFF));
    g_floorLastAt = NowUs();
    ++g_floorBytes;
    return 0;
}

int BadFloor(int count) {
    AfxSocketInit();
    LoopbackBoard board;
    WNDCLASSA wc{};
    wc.lpfnWndProc = &FloorProc;
    wc.lpszClassName = "KestrelBenchFloor";
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowA(wc.lpszClassName, "floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(board.Port());
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    if (!window || ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !WaitUntil(kWaitMs, [&] { return board.ConnectionCount() == 1; }))
        return 1;
    std::thread reader([&] {
        char byte;
        while (::recv(s, &byte, 1, 0) == 1)
            ::SendMessageA(window, WM_RELAY_RXBYTE,
                           static_cast<WPARAM>(static_cast<signed char>(byte)), 1);
    });
    std::thread driver([&] {
        BadFrames(g_floorBytes, g_floorFirstAt, g_floorLastAt, board, count, "floor");
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    });
    MSG msg;
    while (::IsWindow(window) && ::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    driver.join();
    board.Close(0);
    reader.join();
    ::closesocket(s);
    return 0;
}

// Reads what "boardsim --flood N" sends, with no hand-off, reassembly or painting.
int RawRead(int count, unsigned port, int chunk) {
    AfxSocketInit();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return 1;
    std::vector<char> buffer(static_cast<std::size_t>(chunk));
    const long long total = static_cast<long long>(count) * RELAY_FRAME_SIZE;
    long long got = 0;
    double firstAt = 0;
    while (got < total) {
        int n = ::recv(s, buffer.data(), chunk, 0);
        if (n <= 0)
            break;
        if (got == 0)
            firstAt = NowUs();
        got += n;
    }
    const double seconds = (NowUs() - firstAt) / 1e6;
    ::closesocket(s);
    std::printf("raw%d_frames %lld\nraw%d_seconds %.3f\nraw%d_frames_per_s %.0f\n", chunk, got / 8,
                chunk, seconds, chunk, got / 8 / seconds);
    return got == total ? 0 : 1;
}

// The floor of both latencies: 8 bytes from one thread to another through loopback,
// read one byte at a time as the receive thread reads.
int Loopback(int count) {
    AfxSocketInit();
    LoopbackBoard board;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(board.Port());
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    if (board.Port() == 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !WaitUntil(kWaitMs, [&] { return board.ConnectionCount() == 1; }))
        return 1;
    std::atomic<double> receivedAt{0};
    HANDLE received = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread reader([&] {
        char byte;
        int n = 0;
        while (::recv(s, &byte, 1, 0) == 1)
            if (++n % RELAY_FRAME_SIZE == 0) {
                receivedAt = NowUs();
                ::SetEvent(received);
            }
    });
    std::vector<double> samples;
    const RelayFrame frame = BuildRelayCommand(RELAY_CMD_QUERY, 0);
    for (int i = 0; i < count; ++i) {
        const double sentAt = NowUs();
        if (!board.Send(0, FrameBytes(frame)) ||
            ::WaitForSingleObject(received, 2000) != WAIT_OBJECT_0)
            break;
        samples.push_back(receivedAt - sentAt);
        ::Sleep(5);
    }
    ::shutdown(s, 2);
    ::closesocket(s);
    reader.join();
    ::CloseHandle(received);
    Report("loopback_us", samples);
    return 0;
}

class CBenchApp : public CWinApp {
  public:
    BOOL InitInstance() override {
        int status = 2;
        const std::string mode = __argc > 1 ? __argv[1] : "";
        const int count = __argc > 2 ? std::atoi(__argv[2]) : 0;
        const unsigned port = __argc > 3 ? static_cast<unsigned>(std::atoi(__argv[3])) : 0;
        if (mode == "rawread" && __argc == 5)
            status = RawRead(count, port, std::atoi(__argv[4]));
        else if (mode == "loopback")
            status = Loopback(count);
        else if (mode == "badfloor")
            status = BadFloor(count);
        else if (mode == "latency" || mode == "click" || mode == "badframes" ||
                 (mode == "throughput" && port != 0))
            status = RunPanel(mode, count, port);
        else
            std::fprintf(stderr, "kestrel_bench: unknown scenario\n");
        std::fflush(stdout);
        std::exit(status);
    }

  private:
    int RunPanel(const std::string& mode, int count, unsigned port) {
        AfxSocketInit();
        LoopbackBoard board;
        if (mode != "throughput") {
            if (board.Port() == 0)
                return 1;
            port = board.Port();
        }
        WriteSettings(port);
        CBenchRelayDlg dialog;
        m_pMainWnd = &dialog;
        bool ok = false;
        std::thread driver([&] {
            LoopbackBoard* inProcess = mode == "throughput" ? nullptr : &board;
            ok = Connect(dialog, inProcess);
            if (ok && mode == "latency")
                Latency(dialog, board, count);
            else if (ok && mode == "badframes")
                BadFrames(dialog.bytesHandled, dialog.firstByteAt, dialog.lastByteAt, board,
                          count, "panel");
            else if (ok && mode == "click")
                Click(dialog, board, count);
            else if (ok)
                Throughput(dialog, count);
            if (dialog.shown)
                ::PostMessageA(dialog.shown, WM_COMMAND, IDCANCEL, 0);
        });
        dialog.DoModal();
        driver.join();
        m_pMainWnd = nullptr;
        return ok ? 0 : 1;
    }
};

CBenchApp theApp;

} // namespace
