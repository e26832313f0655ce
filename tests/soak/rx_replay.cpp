// The panel's reassembly, fed a byte file: prints bytes 5 and 6 (hex) of the last frame
// that passed its checksum, or "none". The bytes are taken back to back, with no pause
// long enough for the receive time-out, as a stream sent in one go arrives.

#include "RelayRxState.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2)
        return 1;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return 1;
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    CRelayRxState state;
    bool any = false;
    RelayFrame applied{};
    for (char byte : bytes)
        if (state.PushRxByte(static_cast<std::uint8_t>(byte))) {
            applied = state.m_rxFrame;
            any = true;
        }
    if (any)
        std::printf("%02x %02x\n", applied[5], applied[6]);
    else
        std::printf("none\n");
    return 0;
}
