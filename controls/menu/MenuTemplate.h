#pragma once
// Reader of standard (version 0) menu resource templates. It works on the bytes
// alone, so it builds and is fuzzed natively, and it never reads past the size
// it is given.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct MenuTemplateItem {
    std::uint16_t flags = 0; // the template's flags without MF_END
    std::uint16_t id = 0;    // command id; 0 for popups and separators
    bool popup = false;      // the items that follow, up to its level's end, form its sub-menu
    int levelsClosed = 0;    // levels that end after this item, innermost first
    std::u16string caption;
};

// The items in template order, or nothing when the template runs past its end
// or never closes one of its levels.
std::optional<std::vector<MenuTemplateItem>> ReadMenuTemplate(std::span<const std::uint8_t> bytes);
