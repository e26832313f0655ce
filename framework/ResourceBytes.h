#pragma once
// A resource of this program as its raw bytes, for the readers that parse
// templates and bitmaps themselves.

#include <windows.h>

#include <cstdint>
#include <span>

// Empty when the resource is missing or cannot be loaded.
std::span<const std::uint8_t> ResourceBytes(LPCSTR name, LPCSTR type);
