// The few socket calls the hub's loop makes, on non-blocking IPv4 TCP sockets.
#pragma once

#include <cstdint>
#include <string>

// A listening socket on host:port (port 0: any free one, bound says which); -1 with a
// reason.
int ListenOn(const std::string& host, std::uint16_t port, std::uint16_t& bound, std::string& error);

// Starts a connect; the socket, -1 with a reason when it failed at once. inProgress says
// whether to wait for it to become writable and then ask ConnectError.
int StartConnect(const std::string& host, std::uint16_t port, bool& inProgress, std::string& error);

// After a started connect became writable: empty when it succeeded, else why not.
std::string ConnectError(int socket);

// Accepts one waiting connection, non-blocking, with its "address:port"; -1 when none.
int AcceptOne(int listener, std::string& peer);

// Small frames go out at once rather than waiting for an acknowledgement.
void SetNoDelay(int socket);

// Caps what the kernel holds for a peer that does not read, so our own queue's bound
// is the one that counts.
void SetSendBuffer(int socket, int bytes);

// strerror of errno.
std::string LastErrorText();
