#include "app/ui/dark_theme.h"

#include <QApplication>
#include <QMetaEnum>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "base/program_paths.h"
#include "base/ui/product_picture.h"
#include "app/ui/main_window.h"

namespace reelsmith {

namespace {

const QString kBaseStyle = QStringLiteral("Fusion");

QPalette ThemePalette(const TThemeFile& theme)
{
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    QPalette palette = QApplication::style()->standardPalette();
    // Roles for every group first, so a "Disabled." line is not overwritten afterwards.
    for (const bool grouped : {false, true}) {
        for (const auto& [key, colour] : theme.Palette) {
            const qsizetype dot = key.indexOf(QLatin1Char('.'));
            if ((dot >= 0) != grouped)
                continue;
            const int role = roles.keyToValue(key.mid(dot + 1).toLatin1().constData());
            if (role < 0)
                continue;
            const auto colorRole = static_cast<QPalette::ColorRole>(role);
            if (!grouped)
                palette.setColor(colorRole, QColor(colour));
            else if (key.startsWith(QLatin1String("Disabled.")))
                palette.setColor(QPalette::Disabled, colorRole, QColor(colour));
            else if (key.startsWith(QLatin1String("Inactive.")))
                palette.setColor(QPalette::Inactive, colorRole, QColor(colour));
        }
    }
    return palette;
}

void UseBaseStyle()
{
    if (QApplication::style()->name().compare(kBaseStyle, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(kBaseStyle));
}

}  // namespace

QString ButtonSheet(const TButtonColours& c)
{
    // A disabled caption (Convert while a run goes on) halfway between the caption and the face.
    const QColor disabled((c.Caption.red() + c.Face.red()) / 2, (c.Caption.green() + c.Face.green()) / 2,
                          (c.Caption.blue() + c.Face.blue()) / 2);
    return QStringLiteral(
               "QToolButton { color: %1; background-color: transparent; border: 1px solid transparent;"
               " border-radius: 3px; padding: 0px; }"
               "QToolButton:hover { background-color: %2; border-color: %3; }"
               "QToolButton:pressed { background-color: %4; border-color: %3; }"
               "QToolButton:disabled { color: %5; }")
        .arg(c.Caption.name(), c.Face.name(), c.Frame.name(), c.PressedFace.name(), disabled.name());
}

TButtonColours DesignButtonColours()
{
    const QColor caption = QApplication::palette().color(QPalette::WindowText);
    return {caption, QColor(0xF1, 0xF5, 0xFA), QColor(0xA4, 0xCE, 0xF9), QColor(0xA4, 0xCE, 0xF9), QColor()};
}

TButtonColours StandardButtonColours()
{
    const QColor caption = QApplication::style()->standardPalette().color(QPalette::WindowText);
    return {caption, QColor(0xE8, 0xEF, 0xF7), QColor(0x62, 0xA2, 0xE4), QColor(0xC9, 0xE0, 0xF7), QColor()};
}

TButtonColours ThemeButtonColours(const TThemeFile& theme)
{
    const auto colour = [&theme](const char* role) {
        const auto found = theme.Palette.find(QString::fromLatin1(role));
        return found == theme.Palette.end() ? QColor() : QColor(found->second);
    };
    return {colour("WindowText"), QColor(theme.ButtonHot), QColor(theme.ButtonFocused), QColor(theme.ButtonPressed),
            colour("Window")};
}

QString DarkThemePath() { return QString::fromStdString(FindProgramFile("Dark.qss")); }

bool Darktheme1Click(Tfrm_Main& main, bool checked, const QString& themePath)
{
    if (!checked) {
        UseBaseStyle();
        qApp->setStyleSheet({});
        QApplication::setPalette(QApplication::style()->standardPalette());
        main.SetColors(StandardButtonColours());
        return true;
    }
    TThemeFile theme;
    if (themePath.isEmpty() || !ReadThemeFile(themePath, &theme))
        return false;
    UseBaseStyle();
    EnsureProgramResources();  // the sheet's pictures
    QApplication::setPalette(ThemePalette(theme));
    qApp->setStyleSheet(theme.StyleSheet);
    main.SetColors(ThemeButtonColours(theme));
    return true;
}

}  // namespace reelsmith
