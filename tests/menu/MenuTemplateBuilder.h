#pragma once
// Menu resource templates written byte by byte, for the reader's tests and the fuzz seeds.

#include <cstdint>
#include <string>
#include <vector>

struct TemplateEntry {
    std::uint16_t flags; // 0x10: a popup, written without an id; 0x80: its level ends
    std::uint16_t id;
    std::u16string caption;
};

inline std::vector<std::uint8_t> MenuTemplate(const std::vector<TemplateEntry>& entries,
                                              std::uint16_t headerOffset = 0) {
    std::vector<std::uint16_t> words{0, headerOffset};
    words.resize(2 + headerOffset / 2, 0xCCCC); // offsets are even here
    for (const TemplateEntry& entry : entries) {
        words.push_back(entry.flags);
        if (!(entry.flags & 0x10))
            words.push_back(entry.id);
        words.insert(words.end(), entry.caption.begin(), entry.caption.end());
        words.push_back(0);
    }
    return std::vector<std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(words.data()),
        reinterpret_cast<const std::uint8_t*>(words.data() + words.size()));
}
