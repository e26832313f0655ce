#pragma once
// One TCP connection to the relay board and its receive thread, which hands
// every byte read to a window, synchronously, as WM_RELAY_RXBYTE.

#include "RelayFrame.h"

#include <winsock.h>

// The receive thread's hand-off of one byte: wParam the byte widened as a
// signed char, lParam 1.
constexpr UINT WM_RELAY_RXBYTE = WM_USER + 7;

class CRelayLink {
  public:
    CRelayLink() = default;
    ~CRelayLink(); // shuts the connection down; its thread ends
    CRelayLink(const CRelayLink&) = delete;
    CRelayLink& operator=(const CRelayLink&) = delete;

    // Shuts down the current connection, if any, and opens a fresh stream
    // socket; FALSE when none could be had.
    BOOL Open();
    // Blocking connect of the open socket; FALSE without dialling for a port
    // above 65535.
    BOOL Connect(const char* address, UINT port);
    // Starts the thread that reads the connection and sends each byte to
    // target, in order, until the board closes it or it is shut down; it
    // ends within about a second of Close, whatever the board does.
    BOOL StartReceiving(HWND target);
    void Close();

    // The frame in one send on the current socket; SOCKET_ERROR without one.
    int SendFrame(const RelayFrame& frame) const;

  private:
    struct Connection;
    static UINT ReceiveThreadProc(LPVOID param);
    static void Release(Connection* connection);

    Connection* m_connection = nullptr; // shared with its receive thread
};
