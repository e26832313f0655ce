#include "SocketStart.h"

#include <cstdlib>

namespace {

void CleanUpSockets() {
    ::WSACleanup();
}

} // namespace

BOOL AfxSocketInit(WSADATA* data) {
    WSADATA local;
    WSADATA* out = data ? data : &local;
    if (::WSAStartup(MAKEWORD(1, 1), out) != 0)
        return FALSE;
    if (LOBYTE(out->wVersion) != 1 || HIBYTE(out->wVersion) != 1) {
        ::WSACleanup();
        return FALSE;
    }
    std::atexit(&CleanUpSockets);
    return TRUE;
}
