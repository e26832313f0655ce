// relayhub: holds the relay board's one connection and shares it. See --help.
#include "Captions.h"
#include "Hub.h"
#include "HubOptions.h"
#include "Log.h"
#include "MqttBridge.h"
#include "WebPanel.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <systemd/sd-daemon.h>
#include <vector>

namespace {

// SIGINT, SIGTERM and SIGHUP are blocked in every thread (they inherit the mask from here)
// and taken by sigwait in main, so no handler has to be async-signal-safe.
sigset_t BlockHubSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signals;
}

// The web panel is a module of its own, loaded only for --http: its HTTP library and what
// that brings (GnuTLS and its kin) would otherwise cost every hub resident memory.
// It lies beside relayhub in the build tree, in the library folder the build names when
// installed.
std::unique_ptr<CHubPart> LoadWebPanel(CRelayHub& hub, const HubOptions& options,
                                       const ChannelCaptions& captions, std::string& error) {
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    error = "cannot load the web panel:";
    for (const auto& path : {bin / "relayhub-web.so",
                             std::filesystem::path(RELAYHUB_MODULE_DIR) / "relayhub-web.so"}) {
        // Never closed: the panel's code runs until the process ends.
        if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            if (auto* make =
                    reinterpret_cast<MakeWebPanelFunction*>(dlsym(module, MAKE_WEB_PANEL))) {
                error.clear();
                return std::unique_ptr<CHubPart>(make(hub, options, captions, error));
            }
        }
        error += std::string(" ") + dlerror() + ";";
    }
    error.pop_back();
    return nullptr;
}

// The rules in force, a line each, as --check-config prints them.
void LogRules(const std::string& file, const ChannelRules& rules, const HubOptions& options) {
    HubLog("rules from " + file + ":");
    std::string text = DescribeChannelRules(rules);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        HubLog("  " + text.substr(start, end - start));
    }
    const bool last =
        std::any_of(rules.channels.begin(), rules.channels.end(),
                    [](const ChannelRule& rule) { return rule.powerOn == PowerOn::Last; });
    if (last && options.stateDir.empty())
        HubLog("power_on = \"last\" without --state-dir: the states last only while the hub runs");
}

} // namespace

int main(int argc, char** argv) {
    HubOptions options;
    std::string error;
    if (!ParseHubOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "relayhub: %s (see relayhub --help)\n", error.c_str());
        return 1;
    }
    if (options.help) {
        std::fputs(HubHelpText(), stdout);
        return 0;
    }
    ChannelRules rules;
    if (!options.checkConfig.empty()) {
        if (!LoadChannelRules(options.checkConfig, rules, error)) {
            std::fprintf(stderr, "relayhub: %s\n", error.c_str());
            return 1;
        }
        std::fputs(DescribeChannelRules(rules).c_str(), stdout);
        return 0;
    }
    if (!options.configFile.empty()) {
        if (!LoadChannelRules(options.configFile, rules, error)) {
            HubLog("relayhub: " + error);
            return 1;
        }
        LogRules(options.configFile, rules, options);
    }
    const sigset_t hubSignals = BlockHubSignals();

    CRelayHub hub(options);
    hub.SetRules(rules);
    // The parts that follow the board (MQTT, web panel), when their options are given, are
    // made here and added to the hub as listeners before it starts,
    const ChannelCaptions captions = ReadChannelCaptions("canshu.ini");
    std::vector<std::unique_ptr<CHubPart>> parts;
    if (options.mqttHost)
        parts.push_back(std::make_unique<CMqttBridge>(hub, options, captions));
    if (options.httpHost) {
        parts.push_back(LoadWebPanel(hub, options, captions, error));
        if (!parts.back()) {
            HubLog("relayhub: " + error);
            return 1;
        }
    }
    for (const auto& part : parts)
        hub.AddListener(*part);

    if (!hub.Start(error)) {
        HubLog("relayhub: " + error);
        return 1;
    }
    // started here, once the hub runs,
    for (const auto& part : parts) {
        if (!part->Start(error)) {
            HubLog("relayhub: " + error);
            for (const auto& started : parts)
                started->Stop();
            hub.Stop();
            return 1;
        }
    }

    // systemd (Type=notify) counts the service as started only now; outside a unit this
    // does nothing.
    sd_notify(0, ("READY=1\nSTATUS=listening on " + options.listenHost + ":" +
                  std::to_string(options.listenPort))
                     .c_str());

    int signal = 0;
    while (sigwait(&hubSignals, &signal) == 0 && signal == SIGHUP) {
        if (options.configFile.empty()) {
            HubLog("SIGHUP: no --config, nothing to reload");
            continue;
        }
        ChannelRules reloaded;
        if (!LoadChannelRules(options.configFile, reloaded, error)) {
            HubLog("SIGHUP: " + error + "; the rules in force stay");
            continue;
        }
        LogRules(options.configFile, reloaded, options);
        hub.SetRules(reloaded);
    }
    HubLog(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
    sd_notify(0, "STOPPING=1");

    // and stopped here, before the hub, so that they can still say goodbye (the web panel
    // first: its streams end before MQTT says offline).
    for (auto part = parts.rbegin(); part != parts.rend(); ++part)
        (*part)->Stop();
    hub.Stop();
    HubLog("stopped");
    return 0;
}
