#pragma once
// Writes menu resource templates byte by byte for the reader's tests and the
// fuzz driver's seeds.

#include <cstdint>
#include <string>
#include <vector>

class MenuTemplateBuilder {
  public:
    static constexpr std::uint16_t kPopup = 0x10;
    static constexpr std::uint16_t kEnd = 0x80;

    explicit MenuTemplateBuilder(std::uint16_t headerOffset = 0) {
        Word(0);
        Word(headerOffset);
        m_bytes.insert(m_bytes.end(), headerOffset, 0xCC);
    }

    MenuTemplateBuilder& Popup(std::uint16_t flags, const std::u16string& caption) {
        Word(flags | kPopup);
        Text(caption);
        return *this;
    }

    MenuTemplateBuilder& Item(std::uint16_t flags, std::uint16_t id,
                              const std::u16string& caption) {
        Word(flags);
        Word(id);
        Text(caption);
        return *this;
    }

    MenuTemplateBuilder& Raw(std::uint8_t byte) {
        m_bytes.push_back(byte);
        return *this;
    }

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

  private:
    void Word(unsigned w) {
        m_bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
        m_bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    void Text(const std::u16string& s) {
        for (char16_t c : s)
            Word(c);
        Word(0);
    }

    std::vector<std::uint8_t> m_bytes;
};
