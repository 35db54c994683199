// r2sim: simulated R2 modules for the test lab. Run it only inside a private network
// namespace; it binds UDP 1500 and 1901 on every address and answers broadcasts. With
// --serial it opens no socket and answers on a pseudo-terminal instead; with --bootloader it
// plays one module's boot loader on UDP 9, 68 and 13633.

#include "tools/r2sim/boot_loader_server.h"
#include "tools/r2sim/frame_log.h"
#include "tools/r2sim/serial_sim.h"
#include "tools/r2sim/sim_options.h"
#include "tools/r2sim/sim_server.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/signalfd.h>

namespace {

int BlockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &set, SFD_CLOEXEC);
}

void PrintModules(const std::vector<r2::sim::SimModule>& modules) {
    for (const auto& m : modules) {
        const auto& c = m.config();
        // The name goes last: it may hold spaces.
        std::printf("module %s %s %s version=%u searchPort=%u reply=%s silent=%d name=%s\n",
                    std::string(r2::sim::ModelName(c.model)).c_str(), m.macText().c_str(),
                    c.ip.c_str(), c.version, c.searchPort,
                    c.broadcastReplies ? "broadcast" : "unicast", c.silent ? 1 : 0, c.name.c_str());
    }
}

int RunModules(const r2::sim::SimOptions& options, r2::sim::FrameLog& log, int signalFd) {
    std::vector<r2::sim::SimModule> modules;
    for (const auto& cfg : options.modules) {
        modules.emplace_back(cfg);
    }
    r2::sim::SimServer server(std::move(modules), log);
    if (const std::string err = server.open(signalFd); !err.empty()) {
        std::fprintf(stderr, "r2sim: %s\n", err.c_str());
        return 1;
    }
    PrintModules(server.modules());
    std::printf("ready\n");
    std::fflush(stdout);
    const int status = server.run();
    std::printf("stopped\n");
    return status;
}

} // namespace

int main(int argc, char** argv) {
    const auto parsed = r2::sim::ParseArguments({argv + 1, argv + argc});
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "r2sim: %s\n%s", parsed.error.c_str(), r2::sim::UsageText().c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(r2::sim::UsageText().c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::puts("r2sim " R2_VERSION);
        return 0;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> json(nullptr, &std::fclose);
    if (!parsed.options.jsonLogPath.empty()) {
        json.reset(std::fopen(parsed.options.jsonLogPath.c_str(), "w"));
        if (!json) {
            std::perror(("r2sim: " + parsed.options.jsonLogPath).c_str());
            return 2;
        }
    }
    const int signalFd = BlockStopSignals();
    if (signalFd < 0) {
        std::perror("r2sim: signalfd");
        return 1;
    }
    r2::sim::FrameLog log(!parsed.options.quiet, json.get());
    if (parsed.options.bootLoader) {
        return r2::sim::RunBootLoader(*parsed.options.bootLoader, log, signalFd);
    }
    return parsed.options.serial ? r2::sim::RunSerialSim(*parsed.options.serial, log, signalFd)
                                 : RunModules(parsed.options, log, signalFd);
}
