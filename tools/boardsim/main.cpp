// boardsim: a relay-board simulator for the Kestrel panel. See --help.
#include "BoardOptions.h"
#include "BoardServer.h"

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) {
    g_stopRequested = 1;
}

// No SA_RESTART: a blocking send or poll returns at once with EINTR.
void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char** argv) {
    BoardOptions options;
    std::string error;
    switch (ParseBoardOptions(argc, argv, options, error)) {
    case ParseResult::Help:
        std::fputs(BoardHelpText(), stdout);
        return 0;
    case ParseResult::Error:
        std::fprintf(stderr, "boardsim: %s (see boardsim --help)\n", error.c_str());
        return 2;
    case ParseResult::Run:
        break;
    }
    InstallSignalHandlers();
    CBoardServer server(options, g_stopRequested);
    return server.Run();
}
