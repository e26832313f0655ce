// The channels' last seen states, kept across a restart of the hub or of its machine for
// power_on = "last".
#pragma once

#include <cstdint>
#include <string>

// False with a reason when the file is missing, torn or not ours; channels untouched.
bool ReadChannelStateFile(const std::string& path, std::uint16_t& channels, std::string& error);
// Atomic: a temporary file, fsync, rename, fsync of the directory. False with a reason.
bool WriteChannelStateFile(const std::string& path, std::uint16_t channels, std::string& error);
