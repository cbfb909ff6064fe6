// The Qt call queue must serve a worker's call while the main thread waits inside another
// queued call: a run's end is delivered that way and then waits for the engine's log lines,
// whose delivery needs the main thread too. Both calls may already be queued when the event
// loop takes the first one, the case a nested event loop does not serve.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/qt/qt_dispatcher.h"

using namespace reelsmith;

namespace {

void RunEventLoopUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(10);
    loop.exec();
}

}  // namespace

TEST(QtDispatcher, ServesAWorkerWhileTheMainThreadIsInsideAnotherQueuedCall)
{
    for (const bool queuedBefore : {true, false}) {
        SCOPED_TRACE(queuedBefore ? "both queued before the loop runs" : "second queued meanwhile");
        TQtDispatcher dispatcher;
        std::atomic<bool> innerServed{false};
        std::atomic<int> finished{0};
        bool servedInPlace = false;
        const auto innerWork = [&] {
            dispatcher.RunAndWait([&] { innerServed = true; });
            ++finished;
        };
        std::thread inner;
        std::thread outer([&] {
            dispatcher.RunAndWait([&] {
                if (!queuedBefore)
                    inner = std::thread(innerWork);
                QElapsedTimer waiting;
                waiting.start();
                while (!innerServed && waiting.elapsed() < 3000)
                    dispatcher.ServePending();
                servedInPlace = innerServed;
                // Returning lets the event loop serve the inner call late instead of hanging.
            });
            ++finished;
        });
        if (queuedBefore) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            inner = std::thread(innerWork);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        RunEventLoopUntil([&] { return finished == 2; });
        outer.join();
        inner.join();
        EXPECT_TRUE(servedInPlace);
    }
}

TEST(QtDispatcher, ACallFromAWorkerRunsOnTheMainThreadAndPassesItsException)
{
    TQtDispatcher dispatcher;
    std::atomic<bool> done{false};
    bool onMain = false;
    bool rethrown = false;
    std::thread worker([&] {
        dispatcher.RunAndWait([&] { onMain = dispatcher.IsMainThread(); });
        try {
            dispatcher.RunAndWait([] { throw std::runtime_error("call failed"); });
        } catch (const std::runtime_error&) {
            rethrown = true;
        }
        done = true;
    });
    RunEventLoopUntil([&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(rethrown);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
