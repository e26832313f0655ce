#pragma once
// Starts Windows Sockets 1.1 once per process and cleans up at exit.

#include <winsock.h>

// FALSE unless the library gave exactly version 1.1. data, when given,
// receives the start-up details.
BOOL AfxSocketInit(WSADATA* data = nullptr);
