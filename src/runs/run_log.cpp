#include "runs/run_log.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

#include "runs/destination.h"
#include "base/program_paths.h"

namespace reelsmith {

TRgb LogColourRgb(TLogColour colour, bool dark, TRgb darkNeutral)
{
    switch (colour) {
    case TLogColour::Neutral: return dark ? darkNeutral : TRgb{0, 0, 0};
    case TLogColour::Green: return dark ? TRgb{55, 221, 130} : TRgb{0, 128, 0};
    case TLogColour::Blue: return dark ? TRgb{98, 162, 228} : TRgb{0, 0, 255};
    case TLogColour::Red: return dark ? TRgb{228, 97, 97} : TRgb{255, 0, 0};
    case TLogColour::Grey: return {128, 128, 128};
    case TLogColour::Maroon:
        // Dark red would vanish on the dark log background.
        return dark ? TRgb{214, 120, 96} : TRgb{128, 0, 0};
    }
    return {};
}

QString EscapeControlCharacters(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code >= 0x20 && code != 0x7F) {
            escaped.append(c);
            continue;
        }
        switch (code) {
        case u'\n': escaped.append(QLatin1String("\\n")); break;
        case u'\r': escaped.append(QLatin1String("\\r")); break;
        case u'\t': escaped.append(QLatin1String("\\t")); break;
        default: escaped.append(QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0')));
        }
    }
    return escaped;
}

void TRunLog::Add(const QString& text, TLogColour colour, bool bold)
{
    m_Lines.push_back({EscapeControlCharacters(text), colour, bold});
}

void TRunLog::AddDetail(const QString& text, TLogColour colour)
{
    m_Lines.push_back({EscapeControlCharacters(text), colour, false, true});
}

QStringList TRunLog::PlainLines() const
{
    QStringList lines;
    for (const TLogLine& line : m_Lines)
        lines.append(line.Text);
    return lines;
}

bool TRunLog::SaveToFile(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const TLogLine& line : m_Lines)
        file.write(line.Text.toUtf8() + '\n');
    return file.commit();
}

namespace {

// An installed program never writes beside itself, even when run as root.
bool IsSystemFolder(const QString& folder)
{
    return folder.startsWith(QLatin1String("/usr/")) || folder == QLatin1String("/bin/") ||
           folder == QLatin1String("/sbin/") || folder.startsWith(QLatin1String("/opt/"));
}

}  // namespace

QString LogFilePath()
{
    const QString programFolder = QString::fromStdString(ProgramFolder());
    if (!programFolder.isEmpty() && !IsSystemFolder(programFolder) && TestWriteAccess(programFolder))
        return programFolder + QStringLiteral("log.txt");
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    const QString folder = state + QStringLiteral("/reelsmith/");
    QDir().mkpath(folder);
    return folder + QStringLiteral("log.txt");
}

void PrintLogPlace(const QString& path, bool saved)
{
    const QByteArray name = QFile::encodeName(path);
    if (saved)
        std::fprintf(stdout, "Run log saved to %s\n", name.constData());
    else
        std::fprintf(stdout, "Run log could not be saved to %s\n", name.constData());
    std::fflush(stdout);
}

}  // namespace reelsmith
