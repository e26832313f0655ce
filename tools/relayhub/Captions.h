// The channel captions, as the panel shows them, in UTF-8 for MQTT and the web page.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "RelayFrame.h"

using ChannelCaptions = std::array<std::string, RELAY_CHANNEL_COUNT>;

// Section "canshu", keys 按钮名称1..16 (GBK in the file), converted to UTF-8; a missing or
// empty key, or one that is not GBK, gives the panel's default 第n路.
ChannelCaptions ReadChannelCaptions(const std::filesystem::path& file);
