#include "app/command_line.h"

#include <QDir>
#include <filesystem>

#include "base/qt/file_name.h"

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

// The working folder's name may be no UTF-8 either.
QString AbsolutePath(const QString& path)
{
    if (QDir::isAbsolutePath(path))
        return path;
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).native();
    return WithTrailingSlash(FileNameText(folder)) + path;
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
    // The closing "x" is no source.
    const int lastSource = static_cast<int>(params.size()) - (line.ExitAtEnd ? 1 : 0);
    if (first.endsWith(QLatin1String(".fls"), Qt::CaseInsensitive)) {
        line.FileList = first;
        for (int position = 4; position <= lastSource; ++position)
            if (!at(position).isEmpty())
                line.Ignored.push_back(
                    {at(position), QStringLiteral("ignored: the file list in position 3 names all sources")});
        return line;
    }
    bool ended = false;
    for (int position = 3; position <= lastSource; ++position) {
        const QString source = at(position);
        if (source.isEmpty()) {
            ended = true;
        } else if (ended) {
            line.Ignored.push_back({source, QStringLiteral("ignored: it follows an empty parameter")});
        } else if (position > kLastSourcePosition) {
            line.Ignored.push_back({source, QStringLiteral("ignored: beyond position %1").arg(kLastSourcePosition)});
        } else {
            line.Files.append(source);
        }
    }
    return line;
}

QStringList OpenWithPaths(const QStringList& params)
{
    if (params.isEmpty() || ModeOf(params.first()) != TRunMode::None || params.first().isEmpty() ||
        !PathExists(params.first()))
        return {};
    QStringList paths;
    for (const QString& param : params)
        if (!param.isEmpty())
            paths.append(AbsolutePath(param));  // missing ones are named by the Adding window
    return paths;
}

bool LastParameterIsExit(const QStringList& params)
{
    return !params.isEmpty() && params.last().toLower() == QLatin1String("x");
}

QStringList ExistingFiles(const QStringList& paths, TRejectedInputs* passedOver)
{
    QStringList existing;
    for (const QString& path : paths) {
        // Qt's file status would read a name that is not UTF-8 as another name.
        if (IsExistingFile(path)) {
            existing.append(AbsolutePath(path));
            continue;
        }
        if (passedOver)
            passedOver->push_back(
                {path, IsFolder(path) ? QStringLiteral("a folder, not a file") : QStringLiteral("not found")});
    }
    return existing;
}

}  // namespace reelsmith
