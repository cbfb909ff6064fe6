#include "base/ui/toolbar_icons.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace reelsmith {

namespace {

struct IconChoice {
    const char* themeNames[3];
    QStyle::StandardPixmap fallback;
};

IconChoice ChoiceFor(ToolbarImage image)
{
    switch (image) {
    case ToolbarImage::Convert: return {{"video-x-generic", "system-run", nullptr}, QStyle::SP_MediaPlay};
    case ToolbarImage::Command: return {{"utilities-terminal", "system-run", nullptr}, QStyle::SP_ComputerIcon};
    case ToolbarImage::Extract: return {{"audio-x-generic", "audio-volume-high", nullptr}, QStyle::SP_MediaVolume};
    case ToolbarImage::Burn: return {{"media-optical", "drive-optical", nullptr}, QStyle::SP_DriveCDIcon};
    case ToolbarImage::Add: return {{"list-add", "document-open", nullptr}, QStyle::SP_FileDialogNewFolder};
    case ToolbarImage::Paste: return {{"edit-paste", nullptr, nullptr}, QStyle::SP_DialogOpenButton};
    case ToolbarImage::Preview:
        return {{"image-x-generic", "camera-photo", nullptr}, QStyle::SP_FileDialogContentsView};
    case ToolbarImage::Properties: return {{"document-properties", nullptr, nullptr}, QStyle::SP_FileDialogInfoView};
    case ToolbarImage::Remove: return {{"list-remove", "edit-delete", nullptr}, QStyle::SP_TrashIcon};
    }
    return {{nullptr, nullptr, nullptr}, QStyle::SP_FileIcon};
}

// The theme's disc is pale grey and looked disabled on a light window: a red "record" dot
// marks it as the command that writes a disc, in both themes.
QIcon WithRecordDot(const QIcon& disc)
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48}) {
        QPixmap pixmap = disc.pixmap(side, side);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal dot = side * 0.46;
        const QRectF place(side - dot - 0.5, side - dot - 0.5, dot, dot);
        painter.setPen(QPen(Qt::white, qMax(1.0, side / 24.0)));
        painter.setBrush(QColor(0xD0, 0x24, 0x24));
        painter.drawEllipse(place);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon.isNull() ? disc : icon;
}

}  // namespace

void EnsureIconTheme()
{
    // Without a desktop (plain X server, offscreen) Qt names no theme and searches only its
    // resources; add the XDG icon folders and fall back to the theme our packages install.
    QStringList paths = QIcon::themeSearchPaths();
    QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dataDirs.isEmpty())
        dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    dataDirs.prepend(QDir::homePath() + QStringLiteral("/.local/share"));
    bool changed = false;
    for (const QString& dir : dataDirs) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!paths.contains(icons) && QDir(icons).exists()) {
            paths.append(icons);
            changed = true;
        }
    }
    if (changed)
        QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

QIcon ToolbarIcon(ToolbarImage image, const QWidget* context)
{
    EnsureIconTheme();
    const IconChoice choice = ChoiceFor(image);
    for (const char* name : choice.themeNames) {
        if (!name)
            break;
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            return image == ToolbarImage::Burn ? WithRecordDot(icon) : icon;
    }
    const QStyle* style = context ? context->style() : QApplication::style();
    const QIcon fallback = style->standardIcon(choice.fallback, nullptr, context);
    return image == ToolbarImage::Burn ? WithRecordDot(fallback) : fallback;
}

int ToolbarImageSize(const QWidget* context)
{
    const int dpi = context ? context->logicalDpiX() : 96;
    return dpi > 150 ? 48 : 24;
}

}  // namespace reelsmith
