// "Total remaining" of a run against the real remaining time: a run of 20 clips of mixed
// lengths on a fake clock (speeds varying per clip, a fixed overhead per file) in three
// orders, and the same 20 clips generated and converted for real by a conversion run.
// Errors are |estimate - real| / real, from the moment a tenth of the run is done.
//   bench_estimate [--real]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runs/batch_estimate.h"
#include "runs/conversion_run.h"

using namespace reelsmith;

namespace {

constexpr int64_t kSecond = 1000000;
// Media seconds of the 20 clips, and how hard each is to convert (1 = the average speed).
const std::vector<double> kLengths = {12, 45, 300, 8, 90, 25, 600, 15, 60, 5, 180, 30, 10, 240, 20, 75, 3, 120, 40, 35};
const std::vector<double> kHardness = {1.1, 0.9, 1.2, 0.8,  1.0, 1.15, 0.95, 1.05, 0.85, 1.2,
                                       1.0, 0.9, 1.1, 1.05, 0.8, 1.0,  1.2,  0.9,  1.1,  0.95};

struct TSample {
    double At;        // wall seconds since the run started
    double Estimate;  // negative: none yet
};

struct TErrors {
    double Median = 0;
    double P90 = 0;
    double Max = 0;
    double FirstEstimateAt = -1;  // fraction of the run
};

// Errors of the samples taken between a tenth of the run and the last 5 % of it (where a
// second of jitter is already a large fraction).
TErrors Measure(const std::vector<TSample>& samples, double total)
{
    std::vector<double> errors;
    TErrors result;
    for (const TSample& s : samples) {
        if (s.Estimate >= 0 && result.FirstEstimateAt < 0)
            result.FirstEstimateAt = s.At / total;
        const double real = total - s.At;
        if (s.At < total / 10 || real < total / 20)
            continue;
        errors.push_back(s.Estimate < 0 ? 1.0 : std::fabs(s.Estimate - real) / real);
    }
    if (errors.empty())
        return result;
    std::sort(errors.begin(), errors.end());
    result.Median = errors[errors.size() / 2];
    result.P90 = errors[errors.size() * 9 / 10];
    result.Max = errors.back();
    return result;
}

void Print(const char* name, const TErrors& e, double total)
{
    std::printf("| %s | %.0f s | %.1f %% | %.1f %% | %.1f %% | %.1f %% |\n", name, total, e.Median * 100, e.P90 * 100,
                e.Max * 100, e.FirstEstimateAt * 100);
    std::fflush(stdout);
}

// The fake clock: each clip converts at speed / hardness media seconds per second after an
// overhead, reporting every half second.
void FakeRun(const char* name, std::vector<size_t> order)
{
    constexpr double kSpeed = 3.0;
    constexpr double kOverhead = 0.5;
    std::vector<int64_t> durations;
    for (size_t i : order)
        durations.push_back(static_cast<int64_t>(kLengths[i] * kSecond));
    TBatchEstimate batch(durations);
    std::vector<TSample> samples;
    double clock = 0;
    for (size_t row = 0; row < order.size(); ++row) {
        const double length = kLengths[order[row]];
        const double speed = kSpeed / kHardness[order[row]];
        clock += kOverhead;
        for (double t = 0.5; t * speed < length; t += 0.5) {
            batch.Progress(static_cast<int>(row), static_cast<int64_t>(t * speed * kSecond), clock + t);
            const std::optional<double> estimate = batch.RemainingSeconds();
            samples.push_back({clock + t, estimate ? *estimate : -1});
        }
        clock += length / speed;
        batch.FinishRow(static_cast<int>(row), clock, true);
    }
    Print(name, Measure(samples, clock), clock);
}

struct TSilentView : IRunView {
    void LogAdded(const TLogLine&) override {}
    void DisplayChanged() override {}
    void ErrorBeep() override {}
    void DefaultBeep() override {}
    void Terminate() override {}
};

// The same 20 lengths, a quarter as long (0.75 s to 150 s), at 640x360, converted by a run.
int RealRun()
{
    QTemporaryDir work;
    TRunSetup setup;
    for (size_t i = 0; i < kLengths.size(); ++i) {
        const double length = kLengths[i] / 4;
        const QString source = work.filePath(QStringLiteral("clip%1.mkv").arg(i, 2, 10, QLatin1Char('0')));
        const std::string make =
            "ffmpeg -v error -y -f lavfi -i testsrc2=size=640x360:rate=25:duration=" + std::to_string(length) +
            " -f lavfi -i sine=frequency=440:duration=" + std::to_string(length) +
            " -c:v mpeg4 -q:v 4 -c:a aac -shortest '" + source.toStdString() + "'";
        if (std::system(make.c_str()) != 0) {
            std::fprintf(stderr, "cannot make the clips with ffmpeg\n");
            return 1;
        }
        setup.Rows.push_back({QStringLiteral("clip%1.mkv").arg(i), source, static_cast<int64_t>(length * kSecond)});
    }
    setup.OutputPath = work.filePath(QStringLiteral("out/"));
    setup.VideoFormatText = QStringLiteral("MKV");
    setup.Options = QStringLiteral("-c:v libx264 -preset fast -c:a aac -sn ");
    TSilentView view;
    TConversionRun run(std::move(setup), view);
    std::vector<TSample> samples;
    QElapsedTimer clock;
    QTimer sampler;
    sampler.setInterval(250);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const std::optional<double> estimate = run.Batch().RemainingSeconds();
        samples.push_back({static_cast<double>(clock.elapsed()) / 1000, estimate ? *estimate : -1});
    });
    QEventLoop loop;
    QObject::connect(&run, &TConversionRun::RunOver, &loop, &QEventLoop::quit);
    clock.start();
    sampler.start();
    run.Show();
    loop.exec();
    const double total = static_cast<double>(clock.elapsed()) / 1000;
    Print("real conversions (H.264/AAC, 640x360)", Measure(samples, total), total);
    return run.Tally().Converted() == static_cast<int>(kLengths.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf(
        "| run | length | median error | 90th percentile | worst | first estimate at |\n"
        "|---|---|---|---|---|---|\n");
    std::vector<size_t> order(kLengths.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    FakeRun("fake clock, mixed order", order);
    std::sort(order.begin(), order.end(), [](size_t a, size_t b) { return kLengths[a] > kLengths[b]; });
    FakeRun("fake clock, longest first", order);
    std::reverse(order.begin(), order.end());
    FakeRun("fake clock, longest last", order);
    if (argc > 1 && std::strcmp(argv[1], "--real") == 0)
        return RealRun();
    return 0;
}
