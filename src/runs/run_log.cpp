#include "runs/run_log.h"

#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/file_replace.h"
#include "base/program_paths.h"
#include "base/qt/file_name.h"
#include "runs/destination.h"

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
    m_Lines.push_back({EscapeControlCharacters(WithShownName(text)), colour, bold});
}

void TRunLog::Append(const std::vector<TLogLine>& lines) { m_Lines.insert(m_Lines.end(), lines.begin(), lines.end()); }

void TRunLog::ShowNameAs(const QString& hidden, const QString& shown)
{
    m_HiddenName = hidden;
    m_ShownName = shown;
}

QString TRunLog::WithShownName(const QString& text) const
{
    if (m_HiddenName.isEmpty())
        return text;
    const auto fileNameOf = [](const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); };
    QString shown = text;
    // The engine names its output as it was given: "file:" and the whole path.
    shown.replace(QStringLiteral("file:") + m_HiddenName, m_ShownName);
    shown.replace(m_HiddenName, m_ShownName);
    const QString hiddenFile = fileNameOf(m_HiddenName);
    if (!hiddenFile.isEmpty())
        shown.replace(hiddenFile, fileNameOf(m_ShownName));
    return shown;
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

bool TRunLog::SaveToFile(const QString& path, QString* error) const
{
    QByteArray text;
    for (const TLogLine& line : m_Lines)
        text += line.Text.toUtf8() + '\n';
    std::string reason;
    if (ReplaceFileContents(FileNameString(path), std::string_view(text.constData(), text.size()), &reason))
        return true;
    if (error)
        *error = QString::fromLocal8Bit(reason.c_str());
    return false;
}

namespace {

// An installed program never writes beside itself, even when run as root.
bool IsSystemFolder(const QString& folder)
{
    return folder.startsWith(QLatin1String("/usr/")) || folder == QLatin1String("/bin/") ||
           folder == QLatin1String("/sbin/") || folder.startsWith(QLatin1String("/opt/"));
}

}  // namespace

QString LogFolder()
{
    const QString programFolder = QString::fromStdString(ProgramFolder());
    if (!programFolder.isEmpty() && !IsSystemFolder(programFolder) && TestWriteAccess(programFolder))
        return programFolder;
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    const QString folder = state + QStringLiteral("/reelsmith/");
    QDir().mkpath(folder);
    return folder;
}

QString LogFilePath() { return LogFolder() + QStringLiteral("log.txt"); }

namespace {

// log.txt becomes a link to the run's file, replaced in one step (a link made beside it,
// renamed over it); a copy where links cannot be made (a FAT stick). Empty, or why not.
QString PointLatestAt(const QString& folder, const QString& runFile, const TRunLog& log)
{
    const QString latest = folder + QStringLiteral("log.txt");
    const std::string temporary = FileNameString(folder + QStringLiteral(".log.txt.%1").arg(::getpid()));
    ::unlink(temporary.c_str());
    // The link names the file beside it, so the folder may be moved.
    if (::symlink(FileNameString(runFile.mid(folder.size())).c_str(), temporary.c_str()) == 0) {
        if (::rename(temporary.c_str(), FileNameString(latest).c_str()) == 0)
            return {};
        const int error = errno;
        ::unlink(temporary.c_str());
        return QString::fromLocal8Bit(std::strerror(error));
    }
    QString error;
    log.SaveToFile(latest, &error);
    return error;
}

void RemoveOldRunLogs(const QString& folder)
{
    const QRegularExpression runLogName(QStringLiteral("^log-\\d{8}-\\d{6}-\\d+\\.txt$"));
    QStringList names;  // sorted by name, so oldest first
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name))
        if (runLogName.match(name).hasMatch())
            names.append(name);
    for (qsizetype i = 0; i + kRunLogsKept < names.size(); ++i)
        QFile::remove(folder + names[i]);
}

}  // namespace

TSavedLog SaveRunLog(const TRunLog& log, const QString& explicitPath)
{
    TSavedLog saved;
    const QString folder = explicitPath.isEmpty() ? LogFolder() : QString();
    saved.Path = explicitPath.isEmpty()
                     ? folder + QStringLiteral("log-%1-%2.txt")
                                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
                                    .arg(::getpid())
                     : explicitPath;
    saved.Saved = log.SaveToFile(saved.Path, &saved.Error);
    if (!saved.Saved || !explicitPath.isEmpty())
        return saved;
    saved.LatestError = PointLatestAt(folder, saved.Path, log);
    RemoveOldRunLogs(folder);
    return saved;
}

void PrintLogPlace(const TSavedLog& saved)
{
    const QByteArray name = DisplayedFileName(saved.Path).toLocal8Bit();
    if (saved.Saved)
        std::fprintf(stdout, "Run log saved to %s\n", name.constData());
    else
        std::fprintf(stdout, "Run log could not be saved to %s\n", name.constData());
    std::fflush(stdout);
    if (!saved.Saved)
        std::fprintf(stderr, "reelsmith: the run log could not be saved to %s: %s\n", name.constData(),
                     saved.Error.toLocal8Bit().constData());
    else if (!saved.LatestError.isEmpty())
        std::fprintf(stderr, "reelsmith: log.txt could not be made to show the run log %s: %s\n", name.constData(),
                     saved.LatestError.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace reelsmith
