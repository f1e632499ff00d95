// The preview on big reports: a prepared report of 1,000, 10,000 and 30,000 A4 pages (45 text
// lines each) opened in a shown preview. Measures the time from handing the pages to the preview
// until page 1 is painted, from a page's arrival (the report still being prepared) until it is
// painted, and from a jump (to the last page, then to random pages) until the target is painted;
// counters give the process's resident memory after the run against the page count. Runs on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise. Run once with the release build.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <map>
#include <random>

#include "../tests/reportengine/preview/PreviewSamples.h"
#include "reportengine/preview/PageView.h"
#include "reportengine/preview/Preview.h"

namespace {

using namespace reportengine;

// The pages of each size are built once and shared by the benchmarks (the store spills past its
// memory budget, so a big report lives mostly in its temporary file, as a prepared one would).
std::shared_ptr<TfrxPreparedPages> Report(int pages) {
    static std::map<int, std::shared_ptr<TfrxPreparedPages>> made;
    auto& slot = made[pages];
    if (!slot)
        slot = previewsamples::EventReport(pages);
    return slot;
}

// Resident set size in KiB (VmRSS) and its peak (VmHWM).
std::pair<long, long> Memory() {
    QFile status("/proc/self/status");
    long rss = 0, hwm = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed().split(' ').first().toLong();
            if (line.startsWith("VmHWM:"))
                hwm = line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return {rss, hwm};
}

// Runs the event loop until the preview has painted page index; the seconds it took from start.
double UntilPainted(TfrxPreview& preview, int index, const QElapsedTimer& start) {
    QEventLoop loop;
    double seconds = -1;
    auto link = QObject::connect(&preview, &TfrxPreview::pagePainted, &loop, [&](int painted) {
        if (painted == index && seconds < 0) {
            seconds = start.nsecsElapsed() / 1e9;
            loop.quit();
        }
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);  // a broken run still ends
    preview.View()->viewport()->update();
    loop.exec();
    QObject::disconnect(link);
    return seconds;
}

std::unique_ptr<TfrxPreview> ShownPreview() {
    auto preview = std::make_unique<TfrxPreview>();
    preview->resize(900, 700);
    preview->show();
    QCoreApplication::processEvents();
    return preview;
}

// rss_MiB / peak_MiB: the whole process (the page stores included); preview_MiB: what the
// resident set grew by from just before the preview was made (pages already built) to the end.
void SetMemoryCounters(benchmark::State& state, int pages, long rssBefore) {
    const auto [rss, hwm] = Memory();
    state.counters["pages"] = pages;
    state.counters["rss_MiB"] = rss / 1024.0;
    state.counters["peak_MiB"] = hwm / 1024.0;
    state.counters["preview_MiB"] = (rss - rssBefore) / 1024.0;
}

// Open: SetPages on a shown preview at 100% until page 1 is on screen.
void BM_OpenFirstPaint(benchmark::State& state) {
    const int pages = int(state.range(0));
    auto report = Report(pages);
    const long before = Memory().first;
    for (auto _ : state) {
        auto preview = ShownPreview();
        preview->SetZoom(1.0);
        QElapsedTimer start;
        start.start();
        preview->SetPages(report);
        state.SetIterationTime(UntilPainted(*preview, 0, start));
    }
    SetMemoryCounters(state, pages, before);
}

// A page that has just been added to a report being prepared, until it is on screen.
void BM_ArrivingPagePainted(benchmark::State& state) {
    auto preview = ShownPreview();
    auto growing = std::make_shared<TfrxPreparedPages>();
    preview->SetPages(growing);
    int n = 0;
    for (auto _ : state) {
        ++n;
        growing->AddPage(previewsamples::EventPage(n, 0));
        QElapsedTimer start;
        start.start();
        preview->RefreshPages();
        preview->SetPageNo(n);
        state.SetIterationTime(UntilPainted(*preview, n - 1, start));
    }
}

// Jumps on an open report: to the last page and back to the first, each until painted.
void BM_JumpToLast(benchmark::State& state) {
    const int pages = int(state.range(0));
    auto report = Report(pages);
    const long before = Memory().first;
    auto preview = ShownPreview();
    preview->SetZoom(1.0);
    preview->SetPages(report);
    QElapsedTimer warm;
    warm.start();
    UntilPainted(*preview, 0, warm);
    bool toLast = true;
    for (auto _ : state) {
        const int target = toLast ? pages : 1;
        QElapsedTimer start;
        start.start();
        preview->SetPageNo(target);
        state.SetIterationTime(UntilPainted(*preview, target - 1, start));
        toLast = !toLast;
    }
    SetMemoryCounters(state, pages, before);
}

// Jumps to random pages (never cached before), each until painted.
void BM_RandomJump(benchmark::State& state) {
    const int pages = int(state.range(0));
    auto report = Report(pages);
    const long before = Memory().first;
    auto preview = ShownPreview();
    preview->SetZoom(1.0);
    preview->SetPages(report);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(1, pages);
    for (auto _ : state) {
        const int target = pick(rng);
        QElapsedTimer start;
        start.start();
        preview->SetPageNo(target);
        state.SetIterationTime(UntilPainted(*preview, target - 1, start));
    }
    SetMemoryCounters(state, pages, before);
}

BENCHMARK(BM_OpenFirstPaint)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(30000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_ArrivingPagePainted)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_JumpToLast)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(30000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_RandomJump)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(30000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
