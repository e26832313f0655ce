// relayhub's command line: what the MQTT and web parts read from it, and what is refused.
#include "HubOptions.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

bool Parse(std::vector<std::string> args, HubOptions& options, std::string& error) {
    args.insert(args.begin(), "relayhub");
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    return ParseHubOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

// Hosts and ports as "host:port", absent parts as "-".
std::string Where(const std::optional<std::string>& host, std::uint16_t port) {
    return host ? *host + ":" + std::to_string(port) : "-";
}

TEST(HubOptionsTest, AcceptedLines) {
    const struct {
        std::vector<std::string> args;
        const char *board, *listen, *mqtt, *id, *http;
    } rows[] = {
        {{"--board", "127.0.0.1:6000"},
         "127.0.0.1:6000",
         "127.0.0.1:6001",
         "-",
         "board_127_0_0_1_6000",
         "-"},
        {{"--board", "10.0.0.5:502", "--listen", ":7000", "--mqtt", "broker.lan", "--board-id",
          "bench-2", "--http", ":8080", "--topic-prefix", "home/relays"},
         "10.0.0.5:502",
         "127.0.0.1:7000",
         "broker.lan:1883",
         "bench-2",
         "127.0.0.1:8080"},
        {{"--board", "127.0.0.1:6000", "--listen", "0.0.0.0:0", "--mqtt", "127.0.0.1:1884",
          "--http", "0.0.0.0:80"},
         "127.0.0.1:6000",
         "0.0.0.0:0",
         "127.0.0.1:1884",
         "board_127_0_0_1_6000",
         "0.0.0.0:80"},
        // TLS moves the default port, not a given one.
        {{"--board", "127.0.0.1:6000", "--mqtt", "broker.example", "--mqtt-tls"},
         "127.0.0.1:6000",
         "127.0.0.1:6001",
         "broker.example:8883",
         "board_127_0_0_1_6000",
         "-"},
        {{"--board", "127.0.0.1:6000", "--mqtt-tls", "--mqtt", "broker.example:1883"},
         "127.0.0.1:6000",
         "127.0.0.1:6001",
         "broker.example:1883",
         "board_127_0_0_1_6000",
         "-"},
    };
    for (const auto& row : rows) {
        HubOptions options;
        std::string error;
        ASSERT_TRUE(Parse(row.args, options, error)) << row.args[1] << ": " << error;
        EXPECT_EQ(Where(options.boardHost, options.boardPort), row.board);
        EXPECT_EQ(Where(options.listenHost, options.listenPort), row.listen);
        EXPECT_EQ(Where(options.mqttHost, options.mqttPort), row.mqtt);
        EXPECT_EQ(options.boardId, row.id);
        EXPECT_EQ(Where(options.httpHost, options.httpPort), row.http);
    }
}

TEST(HubOptionsTest, RefusedLinesNameTheOption) {
    const std::vector<std::vector<std::string>> rows = {
        {"--board", "127.0.0.1"},
        {"--board", "localhost:6000"},
        {"--board", "127.0.0.1:0"},
        {"--listen", "127.0.0.1:70000"},
        {"--poll-ms", "10"},
        {"--max-clients", "0"},
        {"--mqtt-user", "u"},
        {"--http-max-listeners", "5"},
        {"--http-cert", "web.crt"},
        {"--topic-prefix", "a/#"},
        {"--board-id", "a.b"},
        {"--mqtt-password-file", "/nonexistent/password"},
        {"--config", "/nonexistent/relayhub.toml"},
        {"--state-dir", "/nonexistent/state"},
        {"--mqtt"},
        {"--bogus"},
    };
    for (const auto& row : rows) {
        HubOptions options;
        std::string error;
        EXPECT_FALSE(Parse(row, options, error)) << row[0];
        EXPECT_NE(error.find(row[0]), std::string::npos) << error;
    }
}

// Without --board the address comes from canshu.ini here; a value relayctl refuses stops the
// hub, naming the key and the value, instead of dialling some other board.
TEST(HubOptionsTest, BoardFromCanshuIni) {
    const struct {
        const char *ini, *board, *error;
    } rows[] = {
        {nullptr, "192.168.1.110:6000", ""},
        {"[canshu_v2]\nsocket_ip=10.0.0.7\nsocket_port=502\n", "10.0.0.7:502", ""},
        {"[canshu_v2]\nsocket_ip=127.0.0.1\nsocket_port=70000\n", "", "socket_port=70000"},
        {"[canshu_v2]\nsocket_port=0\n", "", "socket_port=0"},
        {"[canshu_v2]\nsocket_ip=board.lan\n", "", "socket_ip=board.lan"},
    };
    for (const auto& row : rows) {
        TempDirectory directory;
        ASSERT_TRUE(directory.IsCurrent());
        ASSERT_TRUE(!row.ini || WriteWholeFile("canshu.ini", row.ini));
        HubOptions options;
        std::string error;
        const bool parsed = Parse({}, options, error);
        EXPECT_EQ(parsed ? Where(options.boardHost, options.boardPort) : "", row.board) << error;
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_TRUE(error.empty() || error.starts_with("canshu.ini: ")) << error;
    }
}

// The rules' file and the state directory: given, else relayhub.toml here and systemd's
// STATE_DIRECTORY (the first of its list), else none.
TEST(HubOptionsTest, RulesFileAndStateDirectory) {
    const struct {
        bool fileHere;
        const char* environment; // nullptr: unset
        std::vector<std::string> args;
        const char *config, *stateDir;
    } rows[] = {
        {false, nullptr, {}, "", ""},
        {true, "state:other", {}, "relayhub.toml", "state"},
        {true, "state", {"--config", "mine.toml", "--state-dir", "other"}, "mine.toml", "other"},
        {false, "missing", {}, "", ""},
    };
    for (const auto& row : rows) {
        TempDirectory directory;
        ASSERT_TRUE(directory.IsCurrent());
        std::filesystem::create_directory("state");
        std::filesystem::create_directory("other");
        ASSERT_TRUE(WriteWholeFile("mine.toml", ""));
        ASSERT_TRUE(!row.fileHere || WriteWholeFile("relayhub.toml", ""));
        if (row.environment)
            setenv("STATE_DIRECTORY", row.environment, 1);
        else
            unsetenv("STATE_DIRECTORY");
        std::vector<std::string> args = {"--board", "127.0.0.1:6000"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        HubOptions options;
        std::string error;
        EXPECT_TRUE(Parse(args, options, error)) << error;
        EXPECT_EQ(options.configFile, row.config);
        EXPECT_EQ(options.stateDir, row.stateDir);
        unsetenv("STATE_DIRECTORY");
    }
}

} // namespace
