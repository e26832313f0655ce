// relayhub: holds the relay board's one connection and shares it. See --help.
#include "Captions.h"
#include "Hub.h"
#include "HubOptions.h"
#include "Log.h"
#include "MqttBridge.h"
#include "WebPanel.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// SIGINT and SIGTERM are blocked in every thread (they inherit the mask from here) and
// taken by sigwait in main, so no handler has to be async-signal-safe.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signals;
}

} // namespace

int main(int argc, char** argv) {
    HubOptions options;
    std::string error;
    if (!ParseHubOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "relayhub: %s (see relayhub --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(HubHelpText(), stdout);
        return 0;
    }
    const sigset_t stopSignals = BlockStopSignals();

    CRelayHub hub(options);
    // The parts that follow the board (MQTT, web panel), when their options are given, are
    // made here and added to the hub as listeners before it starts,
    const ChannelCaptions captions = ReadChannelCaptions("canshu.ini");
    std::unique_ptr<CMqttBridge> mqtt;
    if (options.mqttHost) {
        mqtt = std::make_unique<CMqttBridge>(hub, options, captions);
        hub.AddListener(*mqtt);
    }
    std::unique_ptr<CWebPanel> web;
    if (options.httpHost) {
        web = std::make_unique<CWebPanel>(hub, options, captions);
        hub.AddListener(*web);
    }

    if (!hub.Start(error)) {
        HubLog("relayhub: " + error);
        return 1;
    }
    // started here, once the hub runs,
    if ((mqtt && !mqtt->Start(error)) || (web && !web->Start(error))) {
        HubLog("relayhub: " + error);
        hub.Stop();
        return 1;
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    HubLog(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));

    // and stopped here, before the hub, so that they can still say goodbye.
    if (web)
        web->Stop();
    if (mqtt)
        mqtt->Stop();
    hub.Stop();
    HubLog("stopped");
    return 0;
}
