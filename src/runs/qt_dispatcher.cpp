#include "runs/qt_dispatcher.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

namespace reelsmith {

bool TQtDispatcher::IsMainThread() const { return QThread::currentThread() == m_Context.thread(); }

void TQtDispatcher::RunAndWait(const std::function<void()>& call)
{
    if (IsMainThread()) {
        call();
        return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        &m_Context,
        [&] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}

void TQtDispatcher::ServePending() { QCoreApplication::processEvents(); }

}  // namespace reelsmith
