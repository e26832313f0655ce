// The settings file through the real private-profile functions, on real files
// in a fresh current directory.
#include "RelayLinkFixture.h"

#include <string>

namespace {

const std::string kIni = "canshu.ini";

// Where a key's line starts in the file text, or npos.
size_t LineOf(const std::string& text, const std::string& line) {
    size_t at = text.find(line);
    while (at != std::string::npos && at != 0 && text[at - 1] != '\n')
        at = text.find(line, at + 1);
    return at;
}

std::string Digits(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<char>('0' + i % 10);
    return text;
}

using RelaySettingsTest = RelayLinkTest;

// No file, missing keys and empty values all give the defaults; loading creates no file.
TEST_F(RelaySettingsTest, MissingOrEmptyValuesGiveTheDefaults) {
    dialog.LoadConnectionSettings();
    EXPECT_STREQ(dialog.m_savedIp, "192.168.1.110");
    EXPECT_EQ(dialog.m_savedPort, 6000u);
    for (int n = 1; n <= 18; ++n)
        EXPECT_STREQ(dialog.GetButtonCaption(n), ("第" + std::to_string(n) + "路").c_str())
            << "button " << n;
    EXPECT_STREQ(dialog.GetSettingsPath(), (directory.Path() + "\\canshu.ini").c_str());
    EXPECT_FALSE(ReadWholeFile(kIni).has_value());

    ASSERT_TRUE(WriteWholeFile(kIni, "[canshu_v2]\r\nsocket_ip=\r\nsocket_port=\r\n"
                                     "[canshu]\r\n按钮名称3=\r\n按钮名称5=水泵 A-1\r\n"
                                     "按钮名称18=全部断开\r\n"));
    dialog.m_savedIp = "127.0.0.9"; // a load must not keep what was there
    dialog.m_savedPort = 1;
    dialog.LoadConnectionSettings();
    EXPECT_STREQ(dialog.m_savedIp, "192.168.1.110");
    EXPECT_EQ(dialog.m_savedPort, 6000u);
    EXPECT_STREQ(dialog.GetButtonCaption(3), "第3路");
    EXPECT_STREQ(dialog.GetButtonCaption(4), "第4路");
    EXPECT_STREQ(dialog.GetButtonCaption(5), "水泵 A-1");
    EXPECT_STREQ(dialog.GetButtonCaption(18), "全部断开");
}

TEST_F(RelaySettingsTest, ValuesAreCutTo999Characters) {
    for (size_t length : {998u, 999u, 1000u, 1500u}) {
        std::string value = Digits(length);
        ASSERT_TRUE(WriteWholeFile(kIni, "[canshu_v2]\r\nsocket_ip=" + value +
                                             "\r\n[canshu]\r\n按钮名称7=" + value + "\r\n"));
        std::string expected = value.substr(0, 999);
        EXPECT_STREQ(dialog.ReadProfileString("socket_ip", "x"), expected.c_str()) << length;
        EXPECT_STREQ(dialog.GetButtonCaption(7), expected.c_str()) << length;
    }
}

TEST_F(RelaySettingsTest, PortTakesTheLeadingDigits) {
    struct Case {
        const char* file;
        UINT port;
    } cases[] = {
        {"socket_port=12ab\r\n", 12}, {"socket_port=ab\r\n", 0},
        {"socket_port=0\r\n", 0},     {"socket_port=70000\r\n", 70000},
        {"socket_port=\r\n", 6000},   {"socket_ip=127.0.0.1\r\n", 6000},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteWholeFile(kIni, std::string("[canshu_v2]\r\n") + c.file));
        dialog.LoadConnectionSettings();
        EXPECT_EQ(dialog.m_savedPort, c.port) << c.file;
    }
}

TEST_F(RelaySettingsTest, ConnectWritesBothKeysOnlyWhenAddressOrPortChanged) {
    const UINT closed = ClosedLoopbackPort();
    dialog.m_savedIp = dialog.m_strIp = "127.0.0.1";
    dialog.m_savedPort = dialog.m_nPort = closed;
    dialog.OnConnect();
    EXPECT_FALSE(ReadWholeFile(kIni).has_value()) << "created without a change";

    const std::string file = "; written by hand\r\n[canshu_v2]\r\nsocket_ip = 127.0.0.1\r\n"
                             "socket_port=" +
                             std::to_string(closed) + "\r\n\r\n[canshu]\r\n按钮名称1=一\r\n";
    ASSERT_TRUE(WriteWholeFile(kIni, file));
    dialog.LoadConnectionSettings();
    dialog.m_strIp = dialog.m_savedIp;
    dialog.m_nPort = dialog.m_savedPort;
    dialog.OnConnect();
    EXPECT_EQ(ReadWholeFile(kIni), file);

    // A change rewrites both keys.
    const std::string port = std::to_string(closed);
    struct Case {
        const char* what;
        std::string file; // empty: no file
    } cases[] = {
        {"neither key stored", ""},
        // "abc" is gone only if the unchanged port was written again.
        {"address changed",
         "[canshu_v2]\r\nsocket_ip=127.0.0.2\r\nsocket_port=" + port + "abc\r\n"},
        {"port changed", "[canshu_v2]\r\nsocket_ip=127.0.0.1\r\nsocket_port=1\r\n"},
    };
    for (const Case& c : cases) {
        ::DeleteFileA(kIni.c_str());
        ASSERT_TRUE(c.file.empty() || WriteWholeFile(kIni, c.file));
        dialog.LoadConnectionSettings();
        dialog.m_strIp = "127.0.0.1";
        dialog.m_nPort = closed;
        dialog.OnConnect();

        const std::string text = ReadWholeFile(kIni).value_or("");
        const size_t portLine = LineOf(text, "socket_port=" + port + "\r\n");
        const size_t ipLine = LineOf(text, "socket_ip=127.0.0.1\r\n");
        EXPECT_NE(portLine, std::string::npos) << c.what << ":\n" << text;
        EXPECT_NE(ipLine, std::string::npos) << c.what << ":\n" << text;
        EXPECT_TRUE(!c.file.empty() || portLine < ipLine) << "port first:\n" << text;
        EXPECT_STREQ(dialog.m_savedIp, "127.0.0.1") << c.what;
        EXPECT_EQ(dialog.m_savedPort, closed) << c.what;
    }
    // The write comes before the connect, whose failure does not undo it.
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(5, "建立连接失败"));
    EXPECT_EQ(dialog.m_bConnected, 0);
}

TEST_F(RelaySettingsTest, AnEmptyAddressIsStoredAsTheDefaultButStaysEmpty) {
    dialog.m_savedIp = "";
    dialog.m_savedPort = 1234;
    dialog.SaveConnectionSettings();
    EXPECT_STREQ(dialog.m_savedIp, "");
    std::string text = ReadWholeFile(kIni).value_or("");
    EXPECT_NE(LineOf(text, "socket_ip=192.168.1.110\r\n"), std::string::npos) << text;
    EXPECT_NE(LineOf(text, "socket_port=1234\r\n"), std::string::npos) << text;
}

TEST_F(RelaySettingsTest, AChangeOfCurrentDirectoryMovesTheFile) {
    ASSERT_TRUE(::CreateDirectoryA("other", nullptr));
    const std::string first = directory.Path();
    const std::string second = first + "\\other";

    dialog.m_savedIp = "127.0.0.1";
    dialog.m_savedPort = 1111;
    dialog.SaveConnectionSettings();

    ASSERT_TRUE(::SetCurrentDirectoryA(second.c_str()));
    EXPECT_STREQ(dialog.GetSettingsPath(), (second + "\\canshu.ini").c_str());
    dialog.LoadConnectionSettings();
    EXPECT_STREQ(dialog.m_savedIp, "192.168.1.110");
    EXPECT_EQ(dialog.m_savedPort, 6000u);
    dialog.m_savedPort = 2222;
    dialog.SaveConnectionSettings();

    ASSERT_TRUE(::SetCurrentDirectoryA(first.c_str()));
    dialog.LoadConnectionSettings();
    EXPECT_EQ(dialog.m_savedPort, 1111u);
    EXPECT_STREQ(dialog.m_savedIp, "127.0.0.1");
    EXPECT_NE(ReadWholeFile(second + "\\canshu.ini").value_or("").find("socket_port=2222"),
              std::string::npos);
}

// The path is read into 500 characters; a deeper directory must not overflow
// it, and the file must then go into that directory or nowhere: never into a
// parent, the drive's root or the Windows folder.
TEST_F(RelaySettingsTest, ACurrentDirectoryBeyond500CharactersWritesNowhereElse) {
    std::vector<std::wstring> ancestors = {CurrentDirectoryW()};
    const std::string segment(60, 'd');
    for (int depth = 0; depth < 12 && CurrentDirectoryW().size() <= 520; ++depth) {
        ASSERT_TRUE(::CreateDirectoryA(segment.c_str(), nullptr)) << depth;
        ASSERT_TRUE(::SetCurrentDirectoryA(segment.c_str())) << depth;
        ancestors.push_back(CurrentDirectoryW());
    }
    const std::wstring deepest = ancestors.back();
    ancestors.pop_back();
    ASSERT_GT(deepest.size(), 520u);

    const UINT port = 10000 + ::GetTickCount() % 50000;
    dialog.m_savedIp = "127.0.0.1";
    dialog.m_savedPort = port;
    dialog.SaveConnectionSettings();

    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::vector<std::wstring> elsewhere = ancestors;
    elsewhere.push_back(deepest.substr(0, 2)); // the drive's root
    elsewhere.push_back(windows);
    const std::string written = "socket_port=" + std::to_string(port);
    for (const std::wstring& folder : elsewhere) {
        std::string text = ReadWholeFile(folder + L"\\canshu.ini").value_or("");
        EXPECT_EQ(text.find(written), std::string::npos)
            << "written outside the current directory, path was " << dialog.GetSettingsPath();
    }

    // Reading agrees with whatever the current directory now holds.
    std::optional<std::string> here = ReadWholeFile(deepest + L"\\canshu.ini");
    bool storedHere = here && here->find(written) != std::string::npos;
    dialog.LoadConnectionSettings();
    EXPECT_EQ(dialog.m_savedPort, storedHere ? port : 6000u);
    EXPECT_STREQ(dialog.GetButtonCaption(2), "第2路");
}

} // namespace
