#include "base/qt/qt_dispatcher.h"

#include <QCoreApplication>
#include <QThread>

namespace reelsmith {

TQtDispatcher::TQtDispatcher()
{
    // Each queued call wakes the event loop, which serves the whole queue.
    m_Calls.SetWake([this] {
        QMetaObject::invokeMethod(
            &m_Context, [this] { m_Calls.ServePending(); }, Qt::QueuedConnection);
    });
}

TQtDispatcher::~TQtDispatcher()
{
    // Calls still waiting are dropped, as queued events of a destroyed receiver are.
    m_Calls.Abandon();
}

bool TQtDispatcher::IsMainThread() const { return QThread::currentThread() == m_Context.thread(); }

void TQtDispatcher::RunAndWait(const std::function<void()>& call)
{
    if (IsMainThread()) {
        call();
        return;
    }
    m_Calls.RunAndWait(call);
}

void TQtDispatcher::ServePending()
{
    m_Calls.ServePending();
    QCoreApplication::processEvents();
}

}  // namespace reelsmith
