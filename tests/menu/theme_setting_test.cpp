// Runs in a process of its own: the theme answer is cached for the life of
// the process from the first question on.
#include "GlyphMenu.h"
#include "ThemeSetting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

const char kThemeKey[] = "Software\\Microsoft\\Plus!\\Themes\\Current";

// Writes the current user's theme setting in the test prefix; removes the key
// again when done.
class ThemeKey {
  public:
    ThemeKey() { Remove(); }
    ~ThemeKey() { Remove(); }
    ThemeKey(const ThemeKey&) = delete;
    ThemeKey& operator=(const ThemeKey&) = delete;

    // Creates the key; with a value, sets it as the key's default value.
    void Set(const std::optional<std::string>& value) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kThemeKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                    &key, nullptr),
                  ERROR_SUCCESS);
        const LONG status = value ? ::RegSetValueExA(key, nullptr, 0, REG_SZ,
                                                     reinterpret_cast<const BYTE*>(value->c_str()),
                                                     static_cast<DWORD>(value->size() + 1))
                                  : ERROR_SUCCESS;
        ::RegCloseKey(key);
        ASSERT_EQ(status, ERROR_SUCCESS);
    }

    void Remove() { ::RegDeleteKeyA(HKEY_CURRENT_USER, kThemeKey); }
};

TEST(ThemeSetting, ReadsTheCurrentThemeFromTheRegistry) {
    ThemeKey theme;
    EXPECT_FALSE(ReadClassicThemeSetting()) << "missing key";
    theme.Set(std::nullopt);
    EXPECT_FALSE(ReadClassicThemeSetting()) << "key without a value";

    // The name rule itself is checked in classic_theme_test; here, that the
    // registry's default value reaches it.
    theme.Set("c:\\windows\\resources\\themes\\windows classic.theme");
    EXPECT_TRUE(ReadClassicThemeSetting());
    theme.Set("C:\\WINDOWS\\Resources\\Themes\\Luna.theme");
    EXPECT_FALSE(ReadClassicThemeSetting());
    theme.Set(std::string(300, 'x') + "Windows Classic.theme");
    EXPECT_FALSE(ReadClassicThemeSetting()) << "longer than the 260-byte buffer";
}

TEST(ThemeSetting, AskedOnlyOnXpAndAnsweredOnce) {
    ThemeKey theme;
    const INT32 probed = GlyphMenu::s_osKind;

    // Not XP: the registry is not consulted, so nothing is cached yet.
    theme.Set("C:\\Windows\\Resources\\Themes\\Windows Classic.theme");
    GlyphMenu::s_osKind = OS_WIN2000;
    EXPECT_FALSE(GlyphMenu::IsXpThemed());
    EXPECT_FALSE(GlyphMenu::IsFlatStyle());

    theme.Set("C:\\WINDOWS\\Resources\\Themes\\Luna.theme");
    GlyphMenu::s_osKind = OS_WINXP;
    EXPECT_TRUE(GlyphMenu::IsXpThemed());
    EXPECT_TRUE(GlyphMenu::IsFlatStyle());
    EXPECT_FALSE(GlyphMenu::IsClassicTheme());

    // The first answer stands for the rest of the process.
    theme.Set("C:\\Windows\\Resources\\Themes\\Windows Classic.theme");
    EXPECT_FALSE(GlyphMenu::IsClassicTheme());
    EXPECT_TRUE(GlyphMenu::IsXpThemed());
    theme.Remove();
    EXPECT_TRUE(GlyphMenu::IsFlatStyle());

    GlyphMenu::s_osKind = probed;
}

} // namespace
