#include "tools/r2sim/frame_log.h"

#include "protocol/Unit_ProFun.h"

#include <ctime>

namespace r2::sim {

double MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void FrameLog::write(const LogEntry& e) {
    const std::string hex = e.bytes ? BytesToHexSep(*e.bytes, "") : std::string();
    const std::size_t len = e.bytes ? e.bytes->size() : 0;
    const char* dir = e.received ? "rx" : "tx";
    if (m_text) {
        std::printf("%12.3f %s %s %s :%u [%s] %s -> %s (%zu) %s\n", e.timeMs, dir,
                    e.received ? "from" : "to", e.peer.c_str(), e.localPort,
                    e.module.empty() ? "-" : e.module.c_str(), e.action.c_str(), e.result.c_str(),
                    len, hex.c_str());
        std::fflush(stdout);
    }
    if (m_json) {
        const std::string cmd = e.received && len >= 3 && (*e.bytes)[0] == 0xFF
                                    ? std::to_string((*e.bytes)[2])
                                    : "null";
        std::fprintf(m_json,
                     "{\"t\": %.3f, \"t0\": %.3f, \"dir\": \"%s\", \"peer\": %s, \"port\": %u, "
                     "\"src\": %s, "
                     "\"hex\": \"%s\", \"len\": %zu, \"cmd\": %s, \"module\": %s, \"action\": %s, "
                     "\"result\": %s}\n",
                     e.timeMs, e.sendStartMs > 0 ? e.sendStartMs : e.timeMs, dir,
                     JsonString(e.peer).c_str(), e.localPort, JsonString(e.source).c_str(),
                     hex.c_str(), len, cmd.c_str(),
                     e.module.empty() ? "null" : JsonString(e.module).c_str(),
                     JsonString(e.action).c_str(), JsonString(e.result).c_str());
        std::fflush(m_json);
    }
}

} // namespace r2::sim
