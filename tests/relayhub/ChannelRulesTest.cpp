// relayhub.toml: what is refused (file, line, key and what is allowed; the rules untouched)
// and what a good file means.
#include "ChannelRules.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

namespace {

std::string Write(const TempDirectory& directory, const std::string& text) {
    const std::string path = directory.Path() + "/relayhub.toml";
    WriteWholeFile(path, text);
    return path;
}

TEST(ChannelRulesTest, RefusedFiles) {
    const struct {
        const char* text;
        int line;
        const char* key; // and what is allowed, in the message
        const char* allowed;
    } rows[] = {
        {"[channel.1]\npulse_ms = 500\nspeed = 3\n", 3, "channel.1.speed", "pulse_ms"},
        {"[channels.1]\npulse_ms = 500\n", 1, "channels", "[channel.N]"},
        {"\n[channel.17]\npulse_ms = 500\n", 2, "channel.17", "1 to 16"},
        {"[channel.0]\n", 1, "channel.0", "1 to 16"},
        {"[channel.5]\npulse_ms = 49\n", 2, "channel.5.pulse_ms", "50 to 60000"},
        {"[channel.5]\npulse_ms = 60001\n", 2, "channel.5.pulse_ms", "50 to 60000"},
        {"[channel.5]\npulse_ms = \"500\"\n", 2, "channel.5.pulse_ms", "50 to 60000"},
        {"[channel.1]\nmax_on_s = 0\n", 2, "channel.1.max_on_s", "1 to 604800"},
        {"[channel.1]\nmax_on_s = 604801\n", 2, "channel.1.max_on_s", "1 to 604800"},
        {"[channel.3]\npower_on = \"restore\"\n", 2, "channel.3.power_on", "\"last\""},
        {"[[interlock]]\nchannels = [1, 2]\n[[interlock]]\nchannels = [3, 2]\n", 4,
         "interlock[1].channels", "one at most"},
        {"[[interlock]]\nchannels = [4]\n", 2, "interlock[0].channels", "2 or more"},
        {"[[interlock]]\ndead_ms = 500\n", 1, "interlock[0].channels", "2 or more"},
        {"[[interlock]]\nchannels = [4, 4]\n", 2, "interlock[0].channels", "each channel once"},
        {"[[interlock]]\nchannels = [1, 2]\n[channel.1]\npower_on = \"on\"\n"
         "[channel.2]\npower_on = \"on\"\n",
         5, "channel.2.power_on", "one channel of a group"},
        {"[channel.1]\npulse_ms = 500\npulse_ms = 600\n", 3, "", ""},
        {"[channel.1\n", 1, "", ""},
    };
    TempDirectory directory;
    for (const auto& row : rows) {
        const std::string path = Write(directory, row.text);
        ChannelRules rules;
        rules.channels[0].name = "kept";
        std::string error;
        EXPECT_FALSE(LoadChannelRules(path, rules, error)) << row.text;
        const std::string where = path + ":" + std::to_string(row.line) + ": " + row.key;
        EXPECT_EQ(error.substr(0, where.size()), where) << row.text;
        EXPECT_NE(error.find(row.allowed), std::string::npos) << error;
        EXPECT_EQ(rules.channels[0].name, "kept") << "half a file applied: " << row.text;
        EXPECT_EQ(rules.channels[0].pulseMs, 0) << "half a file applied: " << row.text;
    }
}

TEST(ChannelRulesTest, AGoodFile) {
    TempDirectory directory;
    const std::string path = Write(directory, R"(
[channel.5]
name = "Gate"
pulse_ms = 500
[channel.1]
max_on_s = 1800
[channel.3]
power_on = "last"
[[interlock]]
channels = [1, 2]
dead_ms = 500
[[interlock]]
channels = [7, 9, 8]
)");
    ChannelRules rules;
    std::string error;
    ASSERT_TRUE(LoadChannelRules(path, rules, error)) << error;
    EXPECT_EQ(DescribeChannelRules(rules),
              "channel 1: auto-off: never on longer than 1800 s; interlock 1\n"
              "channel 2: interlock 1\n"
              "channel 3: when the board comes up: last\n"
              "channel 5: name \"Gate\"; momentary: off 500 ms after each on\n"
              "channel 7: interlock 2\n"
              "channel 8: interlock 2\n"
              "channel 9: interlock 2\n"
              "interlock 1: channels 1, 2, at most one on; 500 ms after the others are off "
              "before an on\n"
              "interlock 2: channels 7, 8, 9, at most one on; 0 ms after the others are off "
              "before an on\n");
    EXPECT_EQ(rules.interlocks[1].channels, 0x01C0);
}

} // namespace
