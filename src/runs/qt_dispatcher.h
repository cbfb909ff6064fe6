#pragma once
// The engine's main-thread call queue on Qt's event loop: a worker's call is a blocking
// queued invocation onto the thread that created the dispatcher; serving pending calls
// is processing events. QtCore only, so headless runs and the windows share it.
#include <QObject>

#include "engine/main_thread_dispatcher.h"

namespace reelsmith {

class TQtDispatcher : public TMainThreadDispatcher {
public:
    TQtDispatcher() = default;
    bool IsMainThread() const override;
    void RunAndWait(const std::function<void()>& call) override;
    void ServePending() override;

private:
    QObject m_Context;  // lives on the main thread; queued calls are delivered to it
};

}  // namespace reelsmith
