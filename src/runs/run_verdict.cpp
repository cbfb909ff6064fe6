#include "runs/run_verdict.h"

#include <QRegularExpression>
#include <algorithm>

#include "runs/run_progress.h"

namespace reelsmith {

namespace {

int CountOf(const std::vector<TRowStatus>& rows, TRowOutcome outcome)
{
    return static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [outcome](const TRowStatus& row) { return row.Outcome == outcome; }));
}

QString LowerFirst(QString text)
{
    text = text.trimmed();
    while (text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char('!')))
        text.chop(1);
    if (text.size() > 1 && text.at(0).isUpper() && !text.at(1).isUpper())
        text[0] = text.at(0).toLower();
    return text;
}

}  // namespace

QString OutcomeText(TRowOutcome outcome)
{
    switch (outcome) {
    case TRowOutcome::None: return {};
    case TRowOutcome::Converted: return QStringLiteral("converted");
    case TRowOutcome::Failed: return QStringLiteral("failed");
    case TRowOutcome::Skipped: return QStringLiteral("skipped");
    case TRowOutcome::Stopped: return QStringLiteral("stopped");
    }
    return {};
}

QString PlainReason(const QString& message)
{
    static const QRegularExpression encoder(QStringLiteral("Unknown encoder '([^']*)'"));
    if (const QRegularExpressionMatch match = encoder.match(message); match.hasMatch())
        return QStringLiteral("unknown encoder '%1'").arg(match.captured(1));
    // A -map that finds nothing names the kind of track it asked for.
    static const QRegularExpression map(QStringLiteral("Stream map \"[^\"]*:([vas])[^\"]*\" matches no streams"));
    if (const QRegularExpressionMatch match = map.match(message); match.hasMatch()) {
        const QChar kind = match.captured(1).at(0);
        return kind == QLatin1Char('a')   ? QStringLiteral("no audio track")
               : kind == QLatin1Char('v') ? QStringLiteral("no video track")
                                          : QStringLiteral("no subtitle track");
    }
    struct TPlain {
        const char* Contains;
        const char* Reason;
    };
    static const TPlain kPlain[] = {
        {"does not contain any stream", "no audio track"},
        {"Stream map", "a stream the command maps is not in the file"},
        {"Invalid data found when processing input", "damaged or incomplete file"},
        {"as pixel format", "damaged or incomplete file"},
        {"End of file", "damaged or incomplete file"},
        {"already exists", "output exists"},
        {"Cannot create folder", "the destination folder cannot be created"},
        {"No space left on device", "the disk is full"},
        {"Permission denied", "no permission to write there"},
    };
    for (const TPlain& plain : kPlain)
        if (message.contains(QLatin1String(plain.Contains)))
            return QString::fromLatin1(plain.Reason);
    // "Loading file... Error! X": the reason is X.
    const int error = message.indexOf(QLatin1String("Error! "));
    return LowerFirst(error >= 0 ? message.mid(error + 7) : message);
}

QString PlainEngineLine(const QString& line)
{
    static const QRegularExpression unused(
        QStringLiteral("Codec AVOption (\\S+) .* specified for output file .* has not been used for any stream"));
    if (const QRegularExpressionMatch match = unused.match(line); match.hasMatch())
        return QStringLiteral(
                   "The setting \"%1\" was not used: the file has no stream it applies to "
                   "(for example, no audio track).")
            .arg(match.captured(1));
    if (line.contains(QLatin1String("Unable to parse option value")) && line.contains(QLatin1String("pixel format")))
        return QStringLiteral("The file is damaged or incomplete: its picture format cannot be read.");
    return {};
}

void TRunTally::Reset(int rowCount)
{
    m_Rows.assign(static_cast<size_t>(std::max(rowCount, 0)), TRowStatus{});
    m_NotAdded.clear();
}

void TRunTally::SetRow(int index, TRowOutcome outcome, const QString& reason)
{
    if (index < 0 || index >= static_cast<int>(m_Rows.size()))
        return;
    m_Rows[static_cast<size_t>(index)] = {outcome, outcome == TRowOutcome::Converted ? QString() : reason};
}

void TRunTally::AddNotAdded(const TRejectedInput& input) { m_NotAdded.push_back(input); }

void TRunTally::StopRemaining()
{
    for (TRowStatus& row : m_Rows)
        if (row.Outcome == TRowOutcome::None)
            row = {TRowOutcome::Stopped, QStringLiteral("stopped")};
}

int TRunTally::Converted() const { return CountOf(m_Rows, TRowOutcome::Converted); }

int TRunTally::Failed() const { return CountOf(m_Rows, TRowOutcome::Failed) + static_cast<int>(m_NotAdded.size()); }

int TRunTally::Skipped() const { return CountOf(m_Rows, TRowOutcome::Skipped) + CountOf(m_Rows, TRowOutcome::Stopped); }

QString TRunTally::CountsLine() const
{
    return QStringLiteral("Converted: %1, failed: %2, skipped: %3").arg(Converted()).arg(Failed()).arg(Skipped());
}

QStringList TRunTally::NotConvertedLines(const QStringList& rowNames) const
{
    QStringList lines;
    for (const TRejectedInput& input : m_NotAdded)
        lines.append(QStringLiteral("%1: %2").arg(input.Path, input.Reason));
    for (size_t i = 0; i < m_Rows.size(); ++i) {
        const TRowStatus& row = m_Rows[i];
        if (row.Outcome == TRowOutcome::Converted || row.Outcome == TRowOutcome::None)
            continue;
        const QString name = static_cast<int>(i) < rowNames.size() ? rowNames.at(static_cast<int>(i)) : QString();
        lines.append(QStringLiteral("%1: %2").arg(name, row.Reason));
    }
    return lines;
}

TRunEnding TRunTally::Ending(bool stopped) const
{
    if (stopped)
        return TRunEnding::Stopped;
    return Failed() > 0 ? TRunEnding::FinishedWithErrors : TRunEnding::Finished;
}

QString EndingTitle(TRunEnding ending)
{
    switch (ending) {
    case TRunEnding::Finished: return QStringLiteral("Finished");
    case TRunEnding::FinishedWithErrors: return QStringLiteral("Finished with errors");
    case TRunEnding::Stopped: return QStringLiteral("Stopped");
    }
    return {};
}

QString RunTimeLine(double seconds) { return QStringLiteral("Run time: ") + FormatClock(seconds); }

TOverwriteAction TOverwriteMemory::Answer(TOverwriteAnswer answer)
{
    switch (answer) {
    case TOverwriteAnswer::Yes: return TOverwriteAction::Replace;
    case TOverwriteAnswer::YesToAll: m_Remembered = TOverwriteAction::Replace; return TOverwriteAction::Replace;
    case TOverwriteAnswer::No: return TOverwriteAction::Skip;
    case TOverwriteAnswer::NoToAll: m_Remembered = TOverwriteAction::Skip; return TOverwriteAction::Skip;
    case TOverwriteAnswer::KeepBoth: return TOverwriteAction::KeepBoth;
    }
    return TOverwriteAction::Skip;
}

}  // namespace reelsmith
