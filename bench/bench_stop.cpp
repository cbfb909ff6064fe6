// Stop to "Done.": how long a run takes from the Stop button to its cancelled end, with and
// without a Pause and Resume before, for a few encoders. Median of REPEAT runs each.
//   bench_stop [repeat]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runs/conversion_run.h"

using namespace reelsmith;

namespace {

struct TSilentView : IRunView {
    void LogAdded(const TLogLine&) override {}
    void DisplayChanged() override {}
    void ErrorBeep() override {}
    void DefaultBeep() override {}
    void Terminate() override {}
};

struct TCase {
    const char* name;
    const char* options;
    const char* format;
    bool pauseFirst;
};

// One run: Stop a second into the conversion (after a Pause and Resume when asked); the
// milliseconds from Stop to the run's end.
double StopToDone(const QString& source, const QString& folder, const TCase& c)
{
    TRunSetup setup;
    setup.Rows = {{QStringLiteral("source.mkv"), source}};
    setup.OutputPath = folder + QLatin1Char('/');
    setup.VideoFormatText = QString::fromLatin1(c.format);
    setup.Options = QString::fromLatin1(c.options);
    TSilentView view;
    TConversionRun run(std::move(setup), view);
    QElapsedTimer sinceStop;
    double result = -1;
    QEventLoop loop;
    QObject::connect(&run, &TConversionRun::RunOver, &loop, [&] {
        result = double(sinceStop.nsecsElapsed()) / 1e6;
        loop.quit();
    });
    QElapsedTimer converting;
    int step = 0;
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!run.Encoder().Working() || run.LastCurrentDuration() <= 0)
            return;
        if (step == 0) {
            converting.start();
            step = 1;
        } else if (step == 1 && converting.elapsed() > 1000) {
            if (c.pauseFirst) {
                run.btn_PauseClick();
                run.btn_PauseClick();
            }
            step = 2;
            driver.stop();
            sinceStop.start();
            run.btn_StopClick();
        }
    });
    driver.start();
    run.Show();
    loop.exec();
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int repeat = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source.mkv"));
    const std::string make =
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=60 "
        "-f lavfi -i sine=frequency=440:duration=60 -c:v mpeg4 -q:v 4 -c:a aac -shortest '" +
        source.toStdString() + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "cannot make the source with ffmpeg\n");
        return 1;
    }
    const std::vector<TCase> cases = {
        {"MPEG4/MP3 AVI", "-c:v mpeg4 -c:a libmp3lame -b:a 128k -sn", "AVI", false},
        {"MPEG4/MP3 AVI after Pause/Resume", "-c:v mpeg4 -c:a libmp3lame -b:a 128k -sn", "AVI", true},
        {"H.264/AAC MP4", "-c:v libx264 -c:a aac -sn", "MP4", false},
        {"H.264/AAC MP4 after Pause/Resume", "-c:v libx264 -c:a aac -sn", "MP4", true},
    };
    std::printf("| case | median ms | min ms | max ms |\n|---|---|---|---|\n");
    for (const TCase& c : cases) {
        std::vector<double> times;
        for (int i = 0; i < repeat; ++i) {
            QTemporaryDir out;
            times.push_back(StopToDone(source, out.path(), c));
        }
        std::sort(times.begin(), times.end());
        std::printf("| %s | %.0f | %.0f | %.0f |\n", c.name, times[times.size() / 2], times.front(), times.back());
        std::fflush(stdout);
    }
    return 0;
}
