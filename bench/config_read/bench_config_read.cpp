// Prints how the configuration reader scales. The JSON reader over objects of 10 000 to 160 000
// members (beyond any real file, which the size cap refuses anyway): with a linear search for
// duplicate names the time per member grew with the member count; it should stay flat. Then the
// file loader given a 20 MB file and /dev/zero: the time to refuse each, and the process's peak
// memory afterwards, which stays near its start because no more than the cap is ever read.

#include "protocol/config/config_json.h"
#include "protocol/config/config_store.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string ObjectOf(std::size_t members) {
    std::string text = "{";
    for (std::size_t i = 0; i < members; ++i) {
        text += (i == 0 ? "\"m" : ", \"m") + std::to_string(i) + "\": 0";
    }
    return text + "}";
}

void Refuse(const std::filesystem::path& path) {
    const auto start = Clock::now();
    const r2::config::LoadResult result = r2::config::LoadModuleConfig(path);
    std::printf("%-28s %8.2f ms  peak %6ld KiB  %s\n", path.filename().c_str(),
                MillisecondsSince(start), PeakKiB(),
                result.config ? "ACCEPTED" : result.error.substr(0, 60).c_str());
}

} // namespace

int main() {
    std::printf("peak memory at start: %ld KiB\n", PeakKiB());
    std::printf("%10s %10s %12s\n", "members", "ms", "ns/member");
    for (const std::size_t members : {10000u, 20000u, 40000u, 80000u, 160000u}) {
        const std::string text = ObjectOf(members);
        const auto start = Clock::now();
        const r2::json::ParseResult parsed = r2::json::Parse(text);
        const double ms = MillisecondsSince(start);
        if (!parsed.value) {
            std::printf("parse failed: %s\n", parsed.error.c_str());
            return 1;
        }
        std::printf("%10zu %10.1f %12.1f\n", members, ms, ms * 1e6 / static_cast<double>(members));
    }

    const auto huge = std::filesystem::temp_directory_path() /
                      ("bench-config-read-" + std::to_string(getpid()) + ".json");
    std::ofstream(huge) << "[";
    std::filesystem::resize_file(huge, 20 * 1024 * 1024);
    Refuse(huge);
    std::filesystem::remove(huge);
    Refuse("/dev/zero");
    return 0;
}
