#include "ClassicTheme.h"

#include <gtest/gtest.h>

namespace {

TEST(ClassicThemeName, RecognisesTheClassicThemeFileOnly) {
    struct Case {
        const char* value;
        bool classic;
    };
    const Case cases[] = {
        {"Windows Classic.theme", true},
        {"c:\\windows\\resources\\themes\\windows classic.theme", true},
        {"C:\\WINDOWS\\RESOURCES\\THEMES\\WINDOWS CLASSIC.THEME", true},
        {"indows Classic.theme", false}, // 20 characters
        {"", false},
        {"C:\\WINDOWS\\Resources\\Themes\\Luna.theme", false},
        {"Windows Classic.theme.bak", false},
        {"Windows_Classic.theme", false},
        {"Windows Classic.themf", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(IsClassicThemeName(c.value), c.classic);
    }
}

} // namespace
