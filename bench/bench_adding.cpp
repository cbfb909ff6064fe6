// Adding 500 small files from a folder tree: the adding routine (search, probe each file
// once in-process, format its row) against running `ffprobe` once per file.
//
//   bench_adding [file count] [folder]
//
// The tree is made once with the `ffmpeg` tool under the folder (default
// /tmp/reelsmith-bench-adding) and reused by later runs.
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "intake/file_list_model.h"
#include "intake/adding_routine.h"
#include "intake/decoder_probe.h"
#include "intake/model_list_target.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Source {
    const char* name;
    const char* args;
};

// Small, short clips of the kinds users drop: a few containers and codecs.
const Source kSources[] = {
    {"h264.mp4",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -c:v libx264 "
     "-preset ultrafast -c:a aac -shortest"},
    {"mpeg4.mkv",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -c:v mpeg4 "
     "-c:a libmp3lame -shortest"},
    {"mjpeg.avi", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mjpeg"},
    {"mpeg2.ts", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg2video"},
    {"flv1.flv", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v flv1"},
};

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// root/dNN/sMM/fileK.ext: 10 folders of 5 subfolders, files spread evenly.
std::vector<std::string> MakeTree(const std::string& root, int count)
{
    const std::string sources = root + "/sources";
    fs::create_directories(sources);
    for (const Source& source : kSources) {
        const std::string path = sources + "/" + source.name;
        if (!fs::exists(path) && Shell("ffmpeg -nostdin -y -hide_banner -loglevel error " + std::string(source.args) +
                                       " " + Quote(path)) != 0) {
            std::fprintf(stderr, "ffmpeg failed for %s\n", source.name);
            std::exit(1);
        }
    }
    const std::string tree = root + "/tree" + std::to_string(count);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        const Source& source = kSources[i % std::size(kSources)];
        char folder[64];
        std::snprintf(folder, sizeof folder, "/d%02d/s%02d", i % 10, (i / 10) % 5);
        const std::string name = "clip" + std::to_string(i) + fs::path(source.name).extension().string();
        const std::string path = tree + folder + "/" + name;
        fs::create_directories(tree + folder);
        if (!fs::exists(path))
            fs::copy_file(sources + "/" + source.name, path);
        files.push_back(path);
    }
    return files;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double TimeAddingRoutine(reelsmith::IMediaProbe& probe, const std::string& tree, int expected)
{
    reelsmith::TFileListModel model;
    reelsmith::TModelListTarget target(model);
    reelsmith::TAddingRoutine routine(probe, target, {});
    const auto start = Clock::now();
    routine.Run({QString::fromStdString(tree)});
    const double seconds = Seconds(Clock::now() - start);
    if (model.Count() != expected) {
        std::fprintf(stderr, "adding routine made %d rows, expected %d\n", model.Count(), expected);
        std::exit(1);
    }
    return seconds;
}

// The same facts from the reference tool: one process per file, as a script would do it.
double TimeFfprobeLoop(const std::vector<std::string>& files)
{
    const auto start = Clock::now();
    for (const std::string& file : files) {
        const std::string command =
            "ffprobe -v error -show_entries format=duration:stream=codec_type,width,height,"
            "r_frame_rate,bit_rate -of compact " +
            Quote(file) + " > /dev/null";
        if (Shell(command) != 0) {
            std::fprintf(stderr, "ffprobe failed on %s\n", file.c_str());
            std::exit(1);
        }
    }
    return Seconds(Clock::now() - start);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 500;
    const std::string root = argc > 2 ? argv[2] : "/tmp/reelsmith-bench-adding";
    const std::vector<std::string> files = MakeTree(root, count);
    const std::string tree = root + "/tree" + std::to_string(count);

    reelsmith::TDecoderProbe probe;
    std::string error;
    if (!probe.LoadLibraries(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    TimeAddingRoutine(probe, tree, count);  // warm the page cache and the libraries
    std::vector<double> routineRuns;
    for (int run = 0; run < 5; ++run)
        routineRuns.push_back(TimeAddingRoutine(probe, tree, count));
    const double routine = Median(routineRuns);
    const double ffprobe = TimeFfprobeLoop(files);

    std::printf("files: %d\n", count);
    std::printf("| method | total | per file |\n|---|---|---|\n");
    std::printf("| adding routine (median of 5) | %.3f s | %.3f ms |\n", routine, routine * 1000 / count);
    std::printf("| ffprobe once per file | %.3f s | %.3f ms |\n", ffprobe, ffprobe * 1000 / count);
    std::printf("speed-up: %.1fx\n", ffprobe / routine);
    return 0;
}
