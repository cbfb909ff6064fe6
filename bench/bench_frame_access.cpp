// Frame access as the Preview window uses it, on a 1080p H.264 clip with a key frame every
// 250 frames: the median time of next frame, previous frame, next and previous key frame
// and a slider seek, each including the conversion of the frame for display.
//
//   bench_frame_access [clip] [samples]
//
// The clip (default /tmp/reelsmith-bench-1080p.mp4) is made once with the `ffmpeg` tool.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "media/preview_session.h"

using reelsmith::TPreviewSession;

namespace {

struct TSample {
    double wallMs;
    double cpuMs;
};

double Now(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// Times one call; false results are counted as failures by the caller.
TSample Time(const std::function<bool()>& operation, int& failures)
{
    const double wall = Now(CLOCK_MONOTONIC);
    const double cpu = Now(CLOCK_THREAD_CPUTIME_ID);
    if (!operation())
        ++failures;
    return {Now(CLOCK_MONOTONIC) - wall, Now(CLOCK_THREAD_CPUTIME_ID) - cpu};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Report(const char* name, const std::vector<TSample>& samples, int failures)
{
    std::vector<double> wall, cpu;
    for (const TSample& s : samples) {
        wall.push_back(s.wallMs);
        cpu.push_back(s.cpuMs);
    }
    std::printf("%-20s n=%3zu  median %8.1f ms  (cpu %8.1f ms)  max %8.1f ms  failures %d\n", name, samples.size(),
                Median(wall), Median(cpu), *std::max_element(wall.begin(), wall.end()), failures);
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::string clip = argc > 1 ? argv[1] : "/tmp/reelsmith-bench-1080p.mp4";
    const int samples = argc > 2 ? std::atoi(argv[2]) : 15;
    if (!std::filesystem::exists(clip)) {
        const std::string make =
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=20 "
            "-c:v libx264 -preset veryfast -g 250 -keyint_min 250 -sc_threshold 0 "
            "-pix_fmt yuv420p '" +
            clip + "'";
        std::printf("making %s\n", clip.c_str());
        if (std::system(make.c_str()) != 0)
            return 1;
    }
    TPreviewSession session("");
    if (!session.Open(clip)) {
        std::fprintf(stderr, "%s\n", session.LastErrMsg().c_str());
        return 1;
    }
    const int maximum = session.Slider().Maximum;
    std::printf("%s: %lld frames, slider maximum %d\n", clip.c_str(), static_cast<long long>(session.Frames()),
                maximum);
    std::mt19937 random(2024);
    // Positions inside the first 250-frame group, away from its ends, so that every
    // operation has a frame or key frame to go to.
    std::uniform_int_distribution<int> inGroup(5, 240);
    std::uniform_int_distribution<int> anywhere(2, maximum - 3);
    auto goTo = [&](int position) { session.MoveSlider(position); };

    std::vector<TSample> next, previous, nextKey, previousKey, seek;
    int nextFailures = 0, previousFailures = 0, nextKeyFailures = 0, previousKeyFailures = 0, seekFailures = 0;
    goTo(100);
    for (int i = 0; i < samples * 4; ++i)
        next.push_back(Time([&] { return session.NextFrame(); }, nextFailures));
    for (int i = 0; i < samples; ++i) {
        goTo(inGroup(random));
        previous.push_back(Time([&] { return session.PreviousFrame(); }, previousFailures));
        goTo(inGroup(random));
        nextKey.push_back(Time([&] { return session.NextKeyFrame(); }, nextKeyFailures));
        goTo(250 + inGroup(random));
        previousKey.push_back(Time([&] { return session.PreviousKeyFrame(); }, previousKeyFailures));
        int target = anywhere(random);
        if (std::abs(target - session.Slider().Position) < 2)
            target = (target + maximum / 2) % (maximum - 2);
        seek.push_back(Time([&] { return session.MoveSlider(target); }, seekFailures));
    }
    Report("next frame", next, nextFailures);
    Report("previous frame", previous, previousFailures);
    Report("next key frame", nextKey, nextKeyFailures);
    Report("previous key frame", previousKey, previousKeyFailures);
    Report("slider seek", seek, seekFailures);
    return 0;
}
