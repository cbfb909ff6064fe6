#include "runs/termination_notifier.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "base/termination_signals.h"

namespace reelsmith {

namespace {
TTerminationNotifier* g_Instance = nullptr;
}  // namespace

TTerminationNotifier::TTerminationNotifier(QObject* parent) : QObject(parent)
{
    if (::pipe2(m_Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_Notifier = std::make_unique<QSocketNotifier>(m_Pipe[0], QSocketNotifier::Read);
    connect(m_Notifier.get(), &QSocketNotifier::activated, this, &TTerminationNotifier::Drain);
    g_Instance = this;
    InstallTerminationHandlers(m_Pipe[1]);
}

TTerminationNotifier::~TTerminationNotifier()
{
    if (g_Instance == this)
        g_Instance = nullptr;
    m_Notifier.reset();
    for (const int fd : m_Pipe)
        if (fd >= 0)
            ::close(fd);
}

TTerminationNotifier* TTerminationNotifier::Instance() { return g_Instance; }

void TTerminationNotifier::Drain()
{
    char byte = 0;
    while (::read(m_Pipe[0], &byte, 1) > 0) {
    }
    const int signal = TerminationSignal();
    if (signal == 0)
        return;
    m_Notifier->setEnabled(false);  // once: a second signal is the handler's own business
    emit Received(signal);
    EndBySignal(signal);
}

}  // namespace reelsmith
