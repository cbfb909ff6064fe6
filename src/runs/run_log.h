#pragma once
// The run log of the conversion windows: lines with a colour name and a bold flag, the
// colours of the light and dark themes, and the plain text that "log.txt" holds.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace reelsmith {

enum class TLogColour { Neutral, Green, Blue, Red, Grey, Maroon };

struct TRgb {
    int R = 0;
    int G = 0;
    int B = 0;
    bool operator==(const TRgb&) const = default;
};

// The colour a line is drawn in. In the dark theme the neutral colour is the main window's
// button font colour (darkNeutral) and green, blue, red and maroon are lighter.
TRgb LogColourRgb(TLogColour colour, bool dark, TRgb darkNeutral);

struct TLogLine {
    QString Text;
    TLogColour Colour = TLogColour::Neutral;
    bool Bold = false;
    bool Detail = false;  // kept in log.txt, not shown in the window: a plain line stands for it
};

// One log line for any text: control characters (a newline in a file name) are shown as
// "\n", "\r", "\t" or "\xNN" so that a line never splits.
QString EscapeControlCharacters(const QString& text);

class TRunLog {
public:
    // Adds text as one line, its control characters escaped.
    void Add(const QString& text, TLogColour colour, bool bold = false);
    // Lines that name hidden (the staged temporary file) name shown instead: the user
    // never sees the temporary name, also not in an engine message. One pair at a time.
    void ShowNameAs(const QString& hidden, const QString& shown);
    // text with the hidden name replaced.
    QString WithShownName(const QString& text) const;
    // A line for log.txt only (the engine's own wording of what a plain line said).
    void AddDetail(const QString& text, TLogColour colour);
    // Lines of another log as they are (a file's block, written when the file ends).
    void Append(const std::vector<TLogLine>& lines);
    const std::vector<TLogLine>& Lines() const { return m_Lines; }
    // One entry per line, as "log.txt" holds them.
    QStringList PlainLines() const;
    // Writes the lines as UTF-8 with LF endings, whole or not at all (a full disk keeps the
    // file that was there); false with *error set to the reason when it could not be saved.
    bool SaveToFile(const QString& path, QString* error = nullptr) const;

private:
    std::vector<TLogLine> m_Lines;
    QString m_HiddenName;
    QString m_ShownName;
};

// Where the logs of command-line runs go: beside the executable when that folder is writable
// and not a system folder (/usr/..., /bin/, /opt/...), else $XDG_STATE_HOME/reelsmith/
// (default ~/.local/state/reelsmith/), created when missing. With a trailing "/".
QString LogFolder();
// "log.txt" in LogFolder(): the log of the run that ended last.
QString LogFilePath();

// Where a run's log was saved, or why it was not.
struct TSavedLog {
    bool Saved = false;
    QString Path;         // the file the run's lines went to
    QString Error;        // why they could not be saved
    QString LatestError;  // why log.txt could not be made to show them (the log itself is saved)
};

// Saves a command-line run's log. With an explicit path, there. Otherwise each run has its
// own file in LogFolder(), "log-YYYYMMDD-HHMMSS-PID.txt" (the local time the run ended and
// the process id), so that runs at the same time never share one; "log.txt" is then made a
// link to it (a copy where the file system has no links), and only the newest
// kRunLogsKept run logs are kept.
TSavedLog SaveRunLog(const TRunLog& log, const QString& explicitPath);
inline constexpr int kRunLogsKept = 20;

// The last line of a command-line run, on stdout: where its log was saved, or that it could
// not be; a lost log is also said on stderr with its reason.
void PrintLogPlace(const TSavedLog& saved);

}  // namespace reelsmith
