#pragma once
// Where "canshu.ini" keeps the board's address, and what holds when it does not
// say: shared by the panel and relayctl, which read the file the same way.

inline constexpr char SETTINGS_SECTION[] = "canshu_v2";
inline constexpr char SETTINGS_KEY_IP[] = "socket_ip";
inline constexpr char SETTINGS_KEY_PORT[] = "socket_port";
inline constexpr char SETTINGS_DEFAULT_IP[] = "192.168.1.110";
inline constexpr unsigned SETTINGS_DEFAULT_PORT = 6000;
