#include "app/command_line.h"

#include <QFileInfo>

namespace reelsmith {

namespace {

constexpr int kLastSourcePosition = 999;

TRunMode ModeOf(const QString& text)
{
    if (text.compare(QLatin1String("-v"), Qt::CaseInsensitive) == 0)
        return TRunMode::Convert;
    if (text.compare(QLatin1String("-a"), Qt::CaseInsensitive) == 0)
        return TRunMode::ExtractAudio;
    return TRunMode::None;
}

}  // namespace

TCommandLine ParseCommandLine(const QStringList& params)
{
    TCommandLine line;
    const auto at = [&params](int position) { return position <= params.size() ? params[position - 1] : QString(); };
    line.Mode = ModeOf(at(1));
    line.OutputFolder = at(2);
    line.ExitAtEnd = LastParameterIsExit(params);
    const QString first = at(3);
    if (first.isEmpty())
        return line;
    if (first.endsWith(QLatin1String(".fls"), Qt::CaseInsensitive)) {
        line.FileList = first;
        return line;
    }
    for (int position = 3; position <= kLastSourcePosition; ++position) {
        const QString source = at(position);
        if (source.isEmpty())
            break;
        line.Files.append(source);
    }
    return line;
}

QStringList OpenWithPaths(const QStringList& params)
{
    if (params.isEmpty() || ModeOf(params.first()) != TRunMode::None || params.first().isEmpty() ||
        !QFileInfo::exists(params.first()))
        return {};
    QStringList paths;
    for (const QString& param : params)
        if (!param.isEmpty())
            paths.append(QFileInfo(param).absoluteFilePath());  // missing ones are named by the Adding window
    return paths;
}

bool LastParameterIsExit(const QStringList& params)
{
    return !params.isEmpty() && params.last().toLower() == QLatin1String("x");
}

QStringList ExistingFiles(const QStringList& paths)
{
    QStringList existing;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.exists() && !info.isDir())
            existing.append(info.absoluteFilePath());
    }
    return existing;
}

QString WithTrailingSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

}  // namespace reelsmith
