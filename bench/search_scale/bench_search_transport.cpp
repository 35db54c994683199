// The LAN transport alone: one search, then count the distinct modules listed until N are
// there or the time limit passes. Prints one JSON line with monotonic-clock times, so the
// caller can compare them with the simulator's log of when its replies left.
//
// usage: bench_search_transport N [LIMIT_MS]

#include "lan/Unit_Udp.h"

#include <cstdio>
#include <ctime>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>

namespace {

double MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_search_transport N [LIMIT_MS]\n");
        return 1;
    }
    const auto expected = static_cast<std::size_t>(std::atoi(argv[1]));
    const int limitMs = argc > 2 ? std::atoi(argv[2]) : 5000;

    r2::ParamMirror mirror;
    r2::TUdpSvr udp(mirror);
    std::set<QString> macs;
    double lastRowAt = 0;
    QObject::connect(
        &udp, &r2::TUdpSvr::OnDeviceFound,
        [&](const QString&, const QString&, int, int, const QString&, const QString& mac) {
            if (macs.insert(mac).second) {
                lastRowAt = MonotonicMs();
            }
        });
    const double searchAt = MonotonicMs();
    udp.SearchDevices();
    QElapsedTimer clock;
    clock.start();
    while (macs.size() < expected && clock.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    const QJsonObject result{{"expected", static_cast<int>(expected)},
                             {"listed", static_cast<int>(macs.size())},
                             {"searchAtMs", searchAt},
                             {"lastRowAtMs", lastRowAt},
                             {"receiveBuffer", udp.smallestReceiveBuffer()}};
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return 0;
}
