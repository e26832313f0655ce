#include "MenuTemplate.h"

namespace {

constexpr std::uint16_t kFlagPopup = 0x10;
constexpr std::uint16_t kFlagEnd = 0x80;
constexpr std::size_t kHeaderSize = 4;

// Little-endian 16-bit word at pos; pos never passes the end.
bool ReadWord(std::span<const std::uint8_t> bytes, std::size_t& pos, std::uint16_t& word) {
    if (bytes.size() - pos < 2)
        return false;
    word = static_cast<std::uint16_t>(bytes[pos] | (bytes[pos + 1] << 8));
    pos += 2;
    return true;
}

bool ReadCaption(std::span<const std::uint8_t> bytes, std::size_t& pos, std::u16string& caption) {
    for (std::uint16_t unit = 0;;) {
        if (!ReadWord(bytes, pos, unit))
            return false;
        if (unit == 0)
            return true;
        caption.push_back(static_cast<char16_t>(unit));
    }
}

} // namespace

std::optional<std::vector<MenuTemplateItem>> ReadMenuTemplate(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize)
        return std::nullopt;
    const std::size_t offset = bytes[2] | (bytes[3] << 8);
    if (offset > bytes.size() - kHeaderSize)
        return std::nullopt;
    std::size_t pos = kHeaderSize + offset;

    // One ends-here flag per open level, bottom first; parsing stops when the
    // outermost level has ended.
    std::vector<bool> levelEnds{false};
    std::vector<MenuTemplateItem> items;
    while (!levelEnds.empty()) {
        MenuTemplateItem item;
        std::uint16_t flags = 0;
        if (!ReadWord(bytes, pos, flags))
            return std::nullopt;
        item.popup = (flags & kFlagPopup) != 0;
        if (!item.popup && !ReadWord(bytes, pos, item.id))
            return std::nullopt;
        item.flags = static_cast<std::uint16_t>(flags & ~kFlagEnd);
        if (!ReadCaption(bytes, pos, item.caption))
            return std::nullopt;

        if (flags & kFlagEnd)
            levelEnds.back() = true;
        if (item.popup) {
            levelEnds.push_back(false);
        } else {
            while (!levelEnds.empty() && levelEnds.back()) {
                levelEnds.pop_back();
                ++item.levelsClosed;
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}
