// The first termination signal is always honoured: a program whose main thread is busy
// elsewhere (it never looks at the signal) still ends as the signal would have ended it,
// without the staged file it was writing.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/output_staging.h"
#include "base/termination_signals.h"
#include "support/test_media.h"

using namespace reelsmith;

namespace {

// Runs body in a child process; its wait status, or -1 when it is still alive after a
// minute (then it is killed).
template <typename Body>
int StatusOfChild(Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    for (int i = 0; i < 600; ++i) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child)
            return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

}  // namespace

TEST(TerminationSignals, TheFirstSignalEndsABusyProgram)
{
    test::TempFolder folder;
    const std::string output = folder.file("clip.mp4");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        const int status = StatusOfChild([&] {
            InstallTerminationHandlers();
            TStagedOutput staged;
            if (!staged.Begin(output))
                ::_exit(3);
            std::ofstream(staged.TempPath()) << "part";
            ::raise(signal);
            volatile bool busy = true;  // never returns to anything that would look at the signal
            while (busy) {
            }
        });
        ASSERT_NE(status, -1) << "the signal was not honoured";
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    }
}
