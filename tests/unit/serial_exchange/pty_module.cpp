#include "pty_module.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace r2::test {

namespace {

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

} // namespace

PtyModule::PtyModule() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname(m_master) == nullptr || pipe2(m_stop, O_CLOEXEC) != 0) {
        m_error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return;
    }
    m_path = ptsname(m_master);
    m_slave = open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        m_error = m_path + ": " + std::strerror(errno);
        m_path.clear();
        return;
    }
    MakeRaw(m_slave);
    MakeRaw(m_master);
    m_reader = std::thread([this] { readLoop(); });
}

PtyModule::~PtyModule() {
    if (m_reader.joinable()) {
        const char stop = 1;
        (void)!write(m_stop[1], &stop, 1);
        m_reader.join();
    }
    for (const int fd : {m_slave, m_master, m_stop[0], m_stop[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void PtyModule::readLoop() {
    pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
    std::uint8_t buffer[4096];
    for (;;) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        const ssize_t n = read(m_master, buffer, sizeof buffer);
        const auto at = std::chrono::steady_clock::now();
        if (n > 0) {
            std::lock_guard lock(m_mutex);
            m_reads.push_back({{buffer, buffer + n}, at});
        }
    }
}

void PtyModule::reply(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n <= 0 && errno != EINTR && errno != EAGAIN) {
            return;
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

std::vector<std::uint8_t> PtyModule::received() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::uint8_t> all;
    for (const Arrival& a : m_reads) {
        all.insert(all.end(), a.bytes.begin(), a.bytes.end());
    }
    return all;
}

std::size_t PtyModule::receivedCount() const {
    return received().size();
}

std::vector<Arrival> PtyModule::bursts(int pauseMs) const {
    std::lock_guard lock(m_mutex);
    std::vector<Arrival> out;
    auto last = std::chrono::steady_clock::time_point{};
    for (const Arrival& a : m_reads) {
        if (out.empty() || a.at - last > std::chrono::milliseconds(pauseMs)) {
            out.push_back(a);
        } else {
            out.back().bytes.insert(out.back().bytes.end(), a.bytes.begin(), a.bytes.end());
        }
        last = a.at;
    }
    return out;
}

void PtyModule::clear() {
    std::lock_guard lock(m_mutex);
    m_reads.clear();
}

} // namespace r2::test
