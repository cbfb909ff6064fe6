#include "runs/destination.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdlib>
#include <vector>

#include "base/qt/file_name.h"

namespace reelsmith {

bool TestWriteAccess(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QByteArray pattern = (WithTrailingSlash(folder) + QStringLiteral("$XXXXXX")).toLocal8Bit();
    std::vector<char> name(pattern.constBegin(), pattern.constEnd());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    close(fd);
    return unlink(name.data()) == 0;
}

namespace {

// A missing folder is created after the user agreed; false (with the reason in result) when not.
bool EnsureFolder(const TDestinationRequest& request, const QString& folder, TDestination* result)
{
    if (QFileInfo(folder).isDir() || !request.AskCreate)
        return true;
    if (!request.AskCreate(folder))
        return false;
    if (QDir().mkpath(folder))
        return true;
    result->Error = QStringLiteral("Cannot create folder \"%1\".").arg(DisplayedFileName(folder));
    return false;
}

}  // namespace

QString FixedPathError(const QString& text)
{
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        return QStringLiteral("The output path must be one line: a single folder.");
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (scheme.match(text).hasMatch())
        return QStringLiteral(
            "The output path is an address, not a folder. Type the folder's full path, "
            "such as /home/me/Videos.");
    if (!text.startsWith(QLatin1Char('/')))
        return QStringLiteral("The output path must be a full folder path, starting with \"/\".");
    return {};
}

QString BrowseStartFolder(const QString& lastDestination, const QString& firstSource)
{
    if (!lastDestination.isEmpty() && QFileInfo(lastDestination).isDir())
        return lastDestination;
    if (!firstSource.isEmpty())
        return QFileInfo(firstSource).absolutePath();
    return {};
}

TDestination ChooseDestination(const TDestinationRequest& request)
{
    TDestination result;
    if (!request.CommandLineFolder.isEmpty()) {
        result.Ok = true;
        result.OutputPath = WithTrailingSlash(request.CommandLineFolder);
        return result;
    }
    switch (request.Choice) {
    case TDestinationChoice::Specify: {
        QString folder;
        if (!request.Browse || !request.Browse(&folder) || folder.isEmpty())
            return result;
        if (!EnsureFolder(request, folder, &result))
            return result;
        if (!TestWriteAccess(folder)) {
            result.Error = QString::fromLatin1(kAccessDeniedText);
            return result;
        }
        result.Ok = true;
        result.OutputPath = WithTrailingSlash(folder);
        return result;
    }
    case TDestinationChoice::Original: result.Ok = true; return result;
    case TDestinationChoice::Path:
        if (request.PathText.isEmpty()) {
            result.Error = QString::fromLatin1(kNoOutputPathText);
            result.ShowOutputTab = true;
            return result;
        }
        result.Error = FixedPathError(request.PathText);
        if (!result.Error.isEmpty()) {
            result.ShowOutputTab = true;
            return result;
        }
        if (!EnsureFolder(request, request.PathText, &result)) {
            result.ShowOutputTab = true;
            return result;
        }
        result.Ok = true;
        result.OutputPath = WithTrailingSlash(request.PathText);
        return result;
    }
    return result;
}

}  // namespace reelsmith
