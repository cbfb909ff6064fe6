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
    // A line for log.txt only (the engine's own wording of what a plain line said).
    void AddDetail(const QString& text, TLogColour colour);
    const std::vector<TLogLine>& Lines() const { return m_Lines; }
    // One entry per line, as "log.txt" holds them.
    QStringList PlainLines() const;
    // Writes the lines as UTF-8 with LF endings; false when the file cannot be written.
    bool SaveToFile(const QString& path) const;

private:
    std::vector<TLogLine> m_Lines;
};

// Where "log.txt" goes: beside the executable when that folder is writable and not a system
// folder (/usr/..., /bin/, /opt/...), else under $XDG_STATE_HOME/reelsmith/ (default
// ~/.local/state/reelsmith/), created when missing.
QString LogFilePath();

// The last line of a command-line run, on stdout: where its log was saved, or that it could not be.
void PrintLogPlace(const QString& path, bool saved);

}  // namespace reelsmith
