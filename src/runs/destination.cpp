#include "runs/destination.h"

#include <unistd.h>

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
        result.Ok = true;
        result.OutputPath = WithTrailingSlash(request.PathText);
        return result;
    }
    return result;
}

}  // namespace reelsmith
