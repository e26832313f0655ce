// relayctl: switch and watch the relay board from scripts. See --help.
#include "BoardAddress.h"
#include "RelayCtl.h"

#include <cstdio>

namespace {

const char kHelp[] = R"(
  status                 the state of the 16 channels
  on CH... | off CH...   switch channels (1-16; lists and ranges: 1,3 5-8)
  toggle CH...           switch each to the opposite of the board's current state
  all-on | all-off       switch all channels
  pulse CH... --ms N     on, wait N ms, off (--off-first: off, wait, on)
  watch [--interval MS]  query every MS (default 600), one line per change, until Ctrl-C

The board is at --host/--port, else where canshu.ini in this directory says (section
canshu_v2, socket_ip and socket_port), else 192.168.1.110:6000. A switch waits for the
board's status to show it (up to --timeout MS, default 1000, and three more queries);
--no-verify only sends. --json prints JSON objects.
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
