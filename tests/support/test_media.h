#pragma once
// Small media fixtures made at test time with the ffmpeg command-line tool.
#include <string>
#include <vector>

namespace reelsmith::test {

// Folder for generated fixtures: $REELSMITH_TEST_DATA, else a folder under /tmp.
std::string DataFolder();

// Makes DataFolder()/name by running `ffmpeg -y -hide_banner -loglevel error <args> <path>`
// once; later calls reuse the file. Returns the path; fails the test when ffmpeg fails.
// Example: MakeMedia("clip.mp4", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v libx264")
std::string MakeMedia(const std::string& name, const std::string& ffmpegArgs);

// Runs a shell command, returns its exit status and fills `output` with its stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Quotes a string for /bin/sh.
std::string ShellQuote(const std::string& text);

// A fresh empty folder under /tmp, removed when the object goes away.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace reelsmith::test
