#include "ClassicTheme.h"

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool IsClassicThemeName(std::string_view value) {
    constexpr std::string_view kClassic = "windows classic.theme";
    if (value.size() < kClassic.size())
        return false;
    const std::string_view tail = value.substr(value.size() - kClassic.size());
    for (std::size_t i = 0; i < kClassic.size(); ++i)
        if (AsciiLower(tail[i]) != kClassic[i])
            return false;
    return true;
}
