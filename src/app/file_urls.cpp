#include "app/file_urls.h"

#include <QList>

#include "base/qt/file_name.h"

namespace reelsmith {

namespace {

QList<QByteArray> Lines(const QByteArray& text)
{
    QList<QByteArray> lines;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        line = line.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

QStringList PathsOf(const QList<QByteArray>& urls)
{
    QStringList paths;
    for (const QByteArray& url : urls) {
        if (url.startsWith('#'))
            continue;
        const QString path = LocalPathFromFileUrl(url);
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

}  // namespace

QString LocalPathFromFileUrl(const QByteArray& url)
{
    if (!url.left(5).toLower().startsWith("file:"))
        return {};
    QByteArray rest = url.mid(5);
    // Query and fragment are not part of a file name; file managers percent-encode "?" and "#".
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest.at(i) == '?' || rest.at(i) == '#') {
            rest.truncate(i);
            break;
        }
    }
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0)
            return {};
        const QByteArray host = rest.mid(2, slash - 2).toLower();
        if (!host.isEmpty() && host != "localhost")
            return {};
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/'))
        return {};
    const QByteArray bytes = QByteArray::fromPercentEncoding(rest);
    if (bytes.contains('\0'))
        return {};
    return FileNameText(bytes);  // a name that is not UTF-8 keeps its bytes
}

QStringList LocalPathsFromUriList(const QByteArray& text) { return PathsOf(Lines(text)); }

QStringList LocalPathsFromGnomeCopiedFiles(const QByteArray& text)
{
    QList<QByteArray> lines = Lines(text);
    if (lines.isEmpty() || (lines.first() != "copy" && lines.first() != "cut"))
        return {};
    lines.removeFirst();
    return PathsOf(lines);
}

QStringList LocalPathsFromMime(const QByteArray& uriList, const QByteArray& gnomeCopiedFiles)
{
    QStringList paths = LocalPathsFromUriList(uriList);
    if (paths.isEmpty())
        paths = LocalPathsFromGnomeCopiedFiles(gnomeCopiedFiles);
    return paths;
}

}  // namespace reelsmith
