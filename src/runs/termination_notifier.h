#pragma once
// SIGTERM, SIGINT and SIGHUP in the desktop program: the signal is turned into a Qt signal
// on the main thread, where a running conversion stops its engine and removes the part it
// wrote; then the program ends with the status of the signal. A second signal while that
// happens ends the program at once (staged files are still removed).
#include <QObject>
#include <memory>

class QSocketNotifier;

namespace reelsmith {

class TTerminationNotifier : public QObject {
    Q_OBJECT
public:
    explicit TTerminationNotifier(QObject* parent = nullptr);
    ~TTerminationNotifier() override;

    // The notifier of the process, or null before one was made (signal handling is process-wide).
    static TTerminationNotifier* Instance();

signals:
    // Connected receivers clean up; when they have returned, the program ends.
    void Received(int signal);

private:
    void Drain();

    int m_Pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_Notifier;
};

}  // namespace reelsmith
