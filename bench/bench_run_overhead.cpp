// What a conversion run costs beside the conversions themselves: a rerun over existing
// outputs (every row skipped, nothing converted) and a run over many tiny clips, where each
// file's own work is a few milliseconds and the rest is the run's stepping from row to row.
// Wall time from the first row to the run's end against the process's CPU time meanwhile;
// their difference is time spent waiting (on a loaded machine, also for a core).
//
//   bench_run_overhead [skipped rows] [converted rows] [repeat]
//
// Defaults 300, 30, 3. The clip is made with the `ffmpeg` tool in a temporary folder.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runs/conversion_run.h"

using namespace reelsmith;

namespace {

// Notes the first row's start: the run's once-only start (its 100 ms start timer, the
// libraries' check) is not counted against the rows.
struct TSilentView : IRunView {
    std::function<void()> OnFirstRow;
    void LogAdded(const TLogLine& line) override
    {
        if (OnFirstRow && line.Text == QLatin1String("File #1"))
            std::exchange(OnFirstRow, nullptr)();
    }
    void DisplayChanged() override {}
    void ErrorBeep() override {}
    void DefaultBeep() override {}
    void Terminate() override {}
};

struct TTimes {
    double WallMs = 0;
    double CpuMs = 0;
    int Failed = 0;
};

double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// One unattended run over rows into folder, from Show to the run's end.
TTimes Run(std::vector<TRunRow> rows, const QString& folder, bool makeOutputsFirst)
{
    TRunSetup setup;
    setup.Rows = std::move(rows);
    setup.OutputPath = folder + QLatin1Char('/');
    setup.VideoFormatText = QStringLiteral("MKV");
    setup.Options = QStringLiteral("-c copy");
    TSilentView view;
    TConversionRun run(std::move(setup), view);
    if (makeOutputsFirst)
        for (const TRunRow& row : run.Setup().Rows) {
            QFile output(run.OutputPathOf(row));
            output.open(QIODevice::WriteOnly);
        }
    QEventLoop loop;
    QObject::connect(&run, &TConversionRun::RunOver, &loop, &QEventLoop::quit);
    double cpuBefore = 0;
    QElapsedTimer wall;
    view.OnFirstRow = [&] {
        cpuBefore = CpuMs();
        wall.start();
    };
    run.Show();
    loop.exec();
    TTimes times;
    times.WallMs = double(wall.nsecsElapsed()) / 1e6;
    times.CpuMs = CpuMs() - cpuBefore;
    times.Failed = run.FailedRows();
    return times;
}

// count rows of distinct names, hard links to the one clip.
std::vector<TRunRow> Rows(const QString& source, int count)
{
    std::vector<TRunRow> rows;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("clip%1.mkv").arg(i, 4, 10, QLatin1Char('0'));
        const QString path = source.left(source.lastIndexOf(QLatin1Char('/')) + 1) + name;
        if (!QFile::exists(path))
            ::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData());
        rows.push_back({name, path});
    }
    return rows;
}

TTimes Median(std::vector<TTimes> runs)
{
    std::sort(runs.begin(), runs.end(), [](const TTimes& a, const TTimes& b) { return a.WallMs < b.WallMs; });
    return runs[runs.size() / 2];
}

void Print(const char* name, int rows, const TTimes& t)
{
    std::printf("| %s | %d | %.0f ms | %.0f ms | %.1f ms | %.1f ms | %d |\n", name, rows, t.WallMs, t.CpuMs,
                t.WallMs / rows, (t.WallMs - t.CpuMs) / rows, t.Failed);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int skipped = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int converted = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    const int repeat = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("clip.mkv"));
    const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=25:duration=0.2 -c:v mpeg4 '" +
                             source.toStdString() + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "cannot make the clip with ffmpeg\n");
        return 1;
    }
    // The libraries are loaded once per process, as in the program: not part of a row's cost.
    {
        QTemporaryDir out;
        Run(Rows(source, 1), out.path(), false);
    }

    std::printf(
        "| case | rows | wall | CPU | wall per row | waiting per row | rows not converted |\n"
        "|---|---|---|---|---|---|---|\n");
    std::vector<TTimes> skips;
    std::vector<TTimes> conversions;
    for (int i = 0; i < repeat; ++i) {
        QTemporaryDir out;
        skips.push_back(Run(Rows(source, skipped), out.path(), true));
    }
    Print("rerun over existing outputs (all skipped)", skipped, Median(skips));
    for (int i = 0; i < repeat; ++i) {
        QTemporaryDir out;
        conversions.push_back(Run(Rows(source, converted), out.path(), false));
    }
    Print("tiny clips converted (-c copy, 0.2 s each)", converted, Median(conversions));
    return 0;
}
