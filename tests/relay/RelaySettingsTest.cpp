// The settings file through the real private-profile functions, on real files
// in a fresh current directory.
#include "SettingsFile.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace settings;
namespace fs = std::filesystem;

const char kIni[] = "canshu.ini";

class RelaySettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(directory.IsCurrent()); }

    // The stored pair as the dialog loads it.
    std::pair<std::string, UINT> Load() {
        CString ip = "stale";
        UINT port = 1;
        LoadConnectionSettings(ip, port);
        return {std::string(ip), port};
    }

    TempDirectory directory;
};

// No file, missing keys and empty values all give the defaults; loading creates no file.
TEST_F(RelaySettingsTest, MissingOrEmptyValuesGiveTheDefaults) {
    EXPECT_EQ(Load(), std::make_pair(std::string("192.168.1.110"), 6000u));
    EXPECT_STREQ(GetButtonCaption(18), "第18路");
    EXPECT_STREQ(GetSettingsPath(), (directory.Path() + "\\canshu.ini").c_str());
    EXPECT_FALSE(ReadWholeFile(kIni).has_value());

    ASSERT_TRUE(WriteWholeFile(kIni, "[canshu_v2]\r\nsocket_ip=\r\nsocket_port=\r\n"
                                     "[canshu]\r\n按钮名称3=\r\n按钮名称5=水泵 A-1\r\n"));
    EXPECT_EQ(Load(), std::make_pair(std::string("192.168.1.110"), 6000u));
    EXPECT_STREQ(GetButtonCaption(3), "第3路");
    EXPECT_STREQ(GetButtonCaption(5), "水泵 A-1");
}

TEST_F(RelaySettingsTest, ValuesAreCutTo999Characters) {
    for (size_t length : {999u, 1000u, 1500u}) {
        std::string value;
        for (size_t i = 0; i < length; ++i)
            value += static_cast<char>('0' + i % 10);
        ASSERT_TRUE(WriteWholeFile(kIni, "[canshu_v2]\r\nsocket_ip=" + value +
                                             "\r\n[canshu]\r\n按钮名称7=" + value + "\r\n"));
        EXPECT_STREQ(ReadProfileString("socket_ip", "x"), value.substr(0, 999).c_str()) << length;
        EXPECT_STREQ(GetButtonCaption(7), value.substr(0, 999).c_str()) << length;
    }
}

TEST_F(RelaySettingsTest, PortTakesTheLeadingDigits) {
    const std::pair<const char*, UINT> cases[] = {
        {"socket_port=12ab", 12},     {"socket_port=ab", 0},  {"socket_port=70000", 70000},
        {"socket_ip=127.0.0.1", 6000}, {"socket_port=", 6000},
    };
    for (const auto& [line, port] : cases) {
        ASSERT_TRUE(WriteWholeFile(kIni, std::string("[canshu_v2]\r\n") + line + "\r\n"));
        EXPECT_EQ(Load().second, port) << line;
    }
}

// Port first, then the address; an empty address is stored as the default.
TEST_F(RelaySettingsTest, SavingWritesPortThenAddress) {
    SaveConnectionSettings("", 1234);
    EXPECT_EQ(ReadWholeFile(kIni),
              "[canshu_v2]\r\nsocket_port=1234\r\nsocket_ip=192.168.1.110\r\n");
    SaveConnectionSettings("127.0.0.1", 70000);
    EXPECT_EQ(Load(), std::make_pair(std::string("127.0.0.1"), 70000u));
}

TEST_F(RelaySettingsTest, AChangeOfCurrentDirectoryMovesTheFile) {
    SaveConnectionSettings("127.0.0.1", 1111);
    ASSERT_TRUE(fs::create_directory("other"));
    fs::current_path("other");
    EXPECT_EQ(Load(), std::make_pair(std::string("192.168.1.110"), 6000u));
    SaveConnectionSettings("127.0.0.2", 2222);
    fs::current_path("..");
    EXPECT_EQ(Load(), std::make_pair(std::string("127.0.0.1"), 1111u));
}

// The path is read into 500 characters; a deeper directory must not overflow
// it, and the file must then go into that directory or nowhere: never into a
// parent, the drive's root or the Windows folder.
TEST_F(RelaySettingsTest, ACurrentDirectoryBeyond500CharactersWritesNowhereElse) {
    std::vector<fs::path> elsewhere = {fs::current_path(), fs::current_path().root_path()};
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    elsewhere.push_back(windows);
    while (GetCurrentDirectoryW(0, nullptr) <= 520) {
        ASSERT_TRUE(::CreateDirectoryA(std::string(60, 'd').c_str(), nullptr));
        ASSERT_TRUE(::SetCurrentDirectoryA(std::string(60, 'd').c_str()));
    }
    const UINT port = 10000 + ::GetTickCount() % 50000;
    SaveConnectionSettings("127.0.0.1", port);
    for (const fs::path& folder : elsewhere)
        EXPECT_EQ(ReadWholeFile(folder / kIni).value_or("").find(std::to_string(port)),
                  std::string::npos)
            << "written into " << folder << ", path was " << GetSettingsPath();
    const UINT loaded = Load().second;
    EXPECT_TRUE(loaded == port || loaded == 6000u) << loaded;
}

} // namespace
