// relayhub's command line: what the MQTT and web parts read from it, and what is refused.
#include "HubOptions.h"

#include <gtest/gtest.h>

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
        {"--topic-prefix", "a/#"},
        {"--board-id", "a.b"},
        {"--mqtt-password-file", "/nonexistent/password"},
        {"--mqtt"},
        {"--bogus", "1"},
    };
    for (const auto& row : rows) {
        HubOptions options;
        std::string error;
        EXPECT_FALSE(Parse(row, options, error)) << row[0];
        EXPECT_NE(error.find(row[0]), std::string::npos) << error;
    }
}

} // namespace
