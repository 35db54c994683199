#pragma once
// The simulator's serial side: a pseudo-terminal whose slave end a tool opens as its serial
// port, and one poll loop that feeds what the tool writes to a SerialModule and writes the
// module's replies back, each in one write or, with a split, as two writes some ms apart.
//
// Contract:
// - The master end is raw and non-blocking. The simulator holds a slave descriptor of its own
//   for its whole life and never reads it, so the master does not hang up (EIO) while no tool
//   has the port open.
// - A pty's terminal outlives a tool's close, so without help the port would keep what the
//   tool left behind. When the tool closes it (inotify on the slave path), the
//   port goes back to its fresh state: the exclusive claim (TIOCEXCL) is released, so a tool
//   without CAP_SYS_ADMIN can open it again; bytes nobody read are dropped; raw mode again.
// - Replies leave in the order their frames came in; the second part of a split reply holds
//   back the replies after it. A reply due while no tool has the port open is lost (logged),
//   as it would be on a real line.
// - run() returns 0 when SIGTERM or SIGINT arrives (the caller blocks both first), 1 when the
//   pseudo-terminal fails.

#include "tools/r2sim/frame_log.h"
#include "tools/r2sim/serial_module.h"
#include "tools/r2sim/sim_options.h"

#include <deque>
#include <string>

namespace r2::sim {

class SerialSim final {
public:
    SerialSim(SerialModule module, int splitMs, FrameLog& log);
    ~SerialSim();
    SerialSim(const SerialSim&) = delete;
    SerialSim& operator=(const SerialSim&) = delete;

    // Opens the pseudo-terminal; returns an error text, empty on success.
    std::string open(int signalFd);
    // The slave end's path, which a tool opens as its serial port.
    const std::string& path() const { return m_path; }
    int run();

private:
    struct Pending {
        double due = 0;
        Bytes bytes;
        std::string action;
        std::string result;
    };

    bool readLine(double now);
    void handle(const std::vector<SerialEvent>& events, double now);
    void schedule(const SerialEvent& event, double now);
    void writeDue();
    void watchTool();
    void releasePort();
    void note(std::string action, std::string result);
    int pollTimeoutMs() const;

    SerialModule m_module;
    int m_splitMs;
    FrameLog& m_log;
    int m_master = -1;
    int m_slave = -1;
    int m_inotify = -1;
    int m_signalFd = -1;
    // Between a tool's open and its close. Not a count: inotify merges equal events that
    // follow each other unread, so two opens may arrive as one; a tool holds one descriptor.
    bool m_toolHasPort = false;
    std::string m_path;
    std::deque<Pending> m_out;
};

// Opens the port, prints "serial MODEL PATH" and "ready", runs until a stop signal, prints
// "stopped"; returns the exit status.
int RunSerialSim(const SerialSimOptions& options, FrameLog& log, int signalFd);

} // namespace r2::sim
