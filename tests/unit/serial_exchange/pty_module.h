#pragma once
// The module's end of a pseudo-terminal pair, for tests of the serial exchange: the exchange
// opens slavePath() as its port; the test writes the module's replies with reply() and sees
// what arrived, with the time each read returned, on a reader thread of its own (so the
// times do not wait for the test's event loop).
//
// The test keeps a raw slave descriptor open for its whole life and never reads it, so the
// master does not report a hang-up while the exchange has the port closed.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace r2::test {

struct Arrival {
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point at;
};

class PtyModule final {
public:
    PtyModule();
    ~PtyModule();
    PtyModule(const PtyModule&) = delete;
    PtyModule& operator=(const PtyModule&) = delete;

    // Empty when the pseudo-terminal could not be made (error() says why).
    const std::string& slavePath() const { return m_path; }
    const std::string& error() const { return m_error; }

    void reply(const std::vector<std::uint8_t>& bytes);
    // Every byte the exchange sent so far, in order.
    std::vector<std::uint8_t> received() const;
    std::size_t receivedCount() const;
    // What arrived, grouped into frames: a new group starts after a pause of more than
    // `pauseMs` between two reads.
    std::vector<Arrival> bursts(int pauseMs) const;
    void clear();

private:
    void readLoop();

    int m_master = -1;
    int m_slave = -1;
    int m_stop[2] = {-1, -1};
    std::string m_path;
    std::string m_error;
    mutable std::mutex m_mutex;
    std::vector<Arrival> m_reads;
    std::thread m_reader;
};

} // namespace r2::test
