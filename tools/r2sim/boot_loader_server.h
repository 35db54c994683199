#pragma once
// The boot loader's sockets: UDP 9 (wake-up) and 68 (boot reply), both bound to the
// any-address with broadcast allowed and address reuse, so that boot loaders of several
// modules can run side by side in one namespace; and UDP 13633 for the transfer, opened once
// a boot reply has named this module's address (bound to it when the host has it) and
// closed when a wake-up starts afresh. One poll loop feeds a BootLoader and sends what it
// returns.
//
// Contract:
// - Every datagram received and every one sent (or withheld) goes to the frame log, the
//   module being this boot loader's MAC.
// - Datagrams leave from the address the boot loader names (IP_PKTINFO) when the host has it,
//   otherwise from the system's choice; the log's src says which.
// - The image is written to imagePath as it arrives: the file is emptied when a transfer
//   starts and grows block by block. When the final block is in, "received BYTES PATH" goes
//   to standard output.
// - run() returns 0 on SIGTERM or SIGINT (the caller blocks both first), or after the first
//   completed transfer when exitAfterTransfer; 1 when a socket or the image file fails.

#include "tools/r2sim/boot_loader.h"
#include "tools/r2sim/frame_log.h"
#include "tools/r2sim/sim_options.h"

#include <cstdio>
#include <netinet/in.h>
#include <string>

namespace r2::sim {

class BootLoaderServer final {
public:
    BootLoaderServer(const BootLoaderOptions& options, FrameLog& log);
    ~BootLoaderServer();
    BootLoaderServer(const BootLoaderServer&) = delete;
    BootLoaderServer& operator=(const BootLoaderServer&) = delete;

    // Binds ports 9 and 68; returns an error text, empty on success.
    std::string open(int signalFd);
    int run();

private:
    // False when the socket failed for good.
    bool drain(int fd, std::uint16_t port);
    bool take(const BootStep& step, const LogEntry& received);
    void send(const BootDatagram& d);
    std::string syncTransferSocket();
    bool writeImage();
    int pollTimeoutMs() const;

    BootLoader m_loader;
    std::string m_imagePath;
    bool m_exitAfterTransfer;
    FrameLog& m_log;
    std::string m_mac;
    int m_signalFd = -1;
    int m_wakeUpFd = -1;
    int m_bootFd = -1;
    int m_transferFd = -1;
    std::FILE* m_image = nullptr;
    int m_imageGeneration = 0;
    std::size_t m_imageWritten = 0;
    int m_reportedGeneration = 0;
    bool m_finished = false;
};

// Opens the sockets, prints "bootloader MAC ready", runs, prints "stopped"; returns the exit
// status.
int RunBootLoader(const BootLoaderOptions& options, FrameLog& log, int signalFd);

} // namespace r2::sim
