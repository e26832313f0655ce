// relayctl: switch and watch the relay board from scripts. See --help.
#include "BoardAddress.h"
#include "RelayCtl.h"

#include <cstdio>

namespace {

const char kHelp[] = R"(
Channels 1-16, lists and ranges: 1,3 5-8. The board is at --host/--port, else where
canshu.ini here says, else 192.168.1.110:6000. A switch waits for the board's status to
show it (--timeout MS, default 1000, then three more queries); --no-verify only sends.
pulse: on, N ms, off (--off-first: off, then on). watch: a line per change, until Ctrl-C.
Exit status: 0 done, 1 bad usage, 2 no connection, 3 the board did not confirm.
)";

void OnInterrupt(int) {
    g_relayctlStop = 1;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(argc, argv, line, error)) {
        std::fprintf(stderr, "relayctl: %s\n%s\n", error.c_str(), RELAYCTL_USAGE);
        return RELAYCTL_BAD_USAGE;
    }
    if (line.help) {
        std::printf("%s\n%s", RELAYCTL_USAGE, kHelp);
        return RELAYCTL_DONE;
    }
    BoardAddress address = ReadBoardAddress("canshu.ini");
    if (!line.port && !address.portError.empty()) {
        std::fprintf(stderr, "relayctl: %s\n", address.portError.c_str());
        return RELAYCTL_BAD_USAGE;
    }
    address.host = line.host.value_or(address.host);
    address.port = line.port.value_or(address.port);
    const std::string where = address.host + ":" + std::to_string(address.port);

    CBoardSocket socket;
    if (!socket.Connect(address.host, address.port, line.timeoutMs)) {
        std::fprintf(stderr, "relayctl: cannot connect to %s: %s\n", where.c_str(),
                     socket.LastError().c_str());
        return RELAYCTL_NO_LINK;
    }
    std::signal(SIGINT, OnInterrupt);
    return CRelayCtl(socket, line, where).Run();
}
