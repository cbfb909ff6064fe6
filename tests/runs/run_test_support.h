#pragma once
// A recording view and helpers that drive a conversion run on the Qt event loop.
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <ostream>
#include <string>

#include "runs/conversion_run.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace reelsmith::test {

struct TRecordingView : IRunView {
    int ErrorBeeps = 0;
    int DefaultBeeps = 0;
    int Terminated = 0;
    std::function<void(const TLogLine&)> OnLog;
    std::function<void()> OnDisplay;
    void LogAdded(const TLogLine& line) override
    {
        if (OnLog)
            OnLog(line);
    }
    void DisplayChanged() override
    {
        if (OnDisplay)
            OnDisplay();
    }
    void ErrorBeep() override { ++ErrorBeeps; }
    void DefaultBeep() override { ++DefaultBeeps; }
    void Terminate() override { ++Terminated; }
};

// Shows the run and serves events until it is over (or the time-out passes).
inline bool RunToEnd(TConversionRun& run, int timeoutMs = 120000)
{
    QEventLoop loop;
    QObject::connect(&run, &TConversionRun::RunOver, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    run.Show();
    if (!run.Over())
        loop.exec();
    return run.Over();
}

inline TRunRow Row(const std::string& path)
{
    const QString source = QString::fromStdString(path);
    return {source.mid(source.lastIndexOf(QLatin1Char('/')) + 1), source};
}

// The log without the loading lines, which depend on whether an earlier run loaded the libraries.
inline QStringList LinesAfterLoading(const TRunLog& log)
{
    QStringList lines = log.PlainLines();
    if (!lines.isEmpty() && lines.first() == QLatin1String("Loading AV components..."))
        lines.removeFirst();
    if (!lines.isEmpty() && lines.first() == QLatin1String("Success!"))
        lines.removeFirst();
    return lines;
}

}  // namespace reelsmith::test
