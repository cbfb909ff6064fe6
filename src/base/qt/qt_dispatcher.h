#pragma once
// The engine's main-thread call queue on Qt's event loop. A worker's call waits in our own
// queue; a queued invocation onto the main thread serves it from the event loop, and
// ServePending serves it directly. Qt's nested event loops do not deliver events that were
// already queued when the current one was taken, so waiting by processing events alone can
// deadlock when two workers hand over calls at once. QtCore only, so headless runs and the
// windows share it.
#include <QObject>

#include "base/main_thread_dispatcher.h"

namespace reelsmith {

class TQtDispatcher : public TMainThreadDispatcher {
public:
    TQtDispatcher();
    ~TQtDispatcher() override;
    bool IsMainThread() const override;
    void RunAndWait(const std::function<void()>& call) override;
    void ServePending() override;

private:
    QObject m_Context;         // lives on the main thread; wake-ups are delivered to it
    TQueueDispatcher m_Calls;  // created on the main thread, like m_Context
};

}  // namespace reelsmith
