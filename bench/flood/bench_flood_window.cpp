// The desktop window under a flood of search replies: it starts as the program starts it, clicks
// its own search button and keeps the event loop timed for MEASURE_MS (the whole flood), then
// prints one JSON line: the longest time the event loop did not come round (with the dispatch
// that took the most time at once, so a missed target names its cause), the rows listed with
// their MACs, the hex pane's lines, the datagrams the endpoint dropped and the peak memory.
// flood.py runs it on the pc side of its lab while bench_flood_sender floods.
//
// usage: bench_flood_window MEASURE_MS

#include "app/app_shell.h"
#include "app/Unit_Version.h"
#include "app/wdRunOnce.h"
#include "bench/event_loop_timing.h"
#include "lan/Unit_Udp.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/Unit_Main.h"

#include <cstdio>
#include <fstream>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <string>
#include <unistd.h>

namespace {

// VmHWM: the most resident memory the process has held so far.
double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kilobytes = 0;
            status >> kilobytes;
            return kilobytes / 1024.0;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    r2bench::TimedApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_flood_window MEASURE_MS\n");
        return 2;
    }
    const int measureMs = std::atoi(argv[1]);

    // Its own single-instance slot and program directory: a running r2config and the user's
    // settings stay out of it.
    r2::RunOnceGuard guard(QStringLiteral("r2config-flood-%1").arg(getpid()));
    if (guard.RunOnceCheck()) {
        std::fprintf(stderr, "bench_flood_window: another instance holds the bench's slot\n");
        return 1;
    }
    QTemporaryDir programDir;
    r2::AppShell shell(programDir.path(), r2::GetFileVersionText());
    r2::TFrm_Main& window = shell.mainWindow();
    window.show();
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lv_Dev"));
    auto* hex = window.findChild<QPlainTextEdit*>(QStringLiteral("redt_Hex"));
    auto* search = window.findChild<QPushButton*>(QStringLiteral("btn_Search"));
    if (!list || !hex || !search) {
        std::fprintf(stderr, "bench_flood_window: the window lacks lv_Dev, redt_Hex or "
                             "btn_Search\n");
        return 1;
    }

    r2bench::StallMonitor stalls;
    double searchAt = 0;
    // The search starts once the window is up and the loop runs, as a user's click would.
    QTimer::singleShot(200, &app, [&] {
        app.setRecording(true);
        stalls.start();
        searchAt = r2bench::MonotonicMs();
        search->click();
        QTimer::singleShot(measureMs, &app, &QApplication::quit);
    });
    app.exec();
    stalls.stop();
    app.setRecording(false);

    QJsonArray macs;
    for (const r2::FoundModule& row : window.controller().rows()) {
        macs.append(row.mac);
    }
    const QJsonObject result{
        {"searchAt", searchAt},
        {"measuredMs", measureMs},
        {"stall", stalls.result()},
        {"longestDispatch", app.longest()},
        {"rows", static_cast<qint64>(window.controller().rows().size())},
        {"listItems", list->topLevelItemCount()},
        {"macs", macs},
        {"hexLines", hex->blockCount()},
        {"dropped", static_cast<qint64>(window.controller().udp().droppedDatagrams())},
        {"peakRssMb", PeakRssMb()}};
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return 0;
}
