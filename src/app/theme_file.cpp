#include "app/theme_file.h"

#include <QFile>
#include <QRegularExpression>

#include "base/bounded_file_read.h"

namespace reelsmith {

namespace {

// A style sheet is small; a huge file is not one of ours.
constexpr size_t kMaxThemeBytes = 1024 * 1024;

bool IsColour(const QString& text)
{
    static const QRegularExpression colour(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    return colour.match(text).hasMatch();
}

// Only the first comment holds header lines, so a later comment cannot change the theme.
QString HeaderComment(const QString& text)
{
    const qsizetype start = text.indexOf(QStringLiteral("/*"));
    if (start < 0)
        return {};
    const qsizetype end = text.indexOf(QStringLiteral("*/"), start + 2);
    if (end < 0)
        return {};
    return text.mid(start + 2, end - start - 2);
}

}  // namespace

QStringList RequiredPaletteRoles()
{
    return {QStringLiteral("Window"),
            QStringLiteral("WindowText"),
            QStringLiteral("Base"),
            QStringLiteral("AlternateBase"),
            QStringLiteral("Text"),
            QStringLiteral("Button"),
            QStringLiteral("ButtonText"),
            QStringLiteral("Highlight"),
            QStringLiteral("HighlightedText"),
            QStringLiteral("Link"),
            QStringLiteral("ToolTipBase"),
            QStringLiteral("ToolTipText"),
            QStringLiteral("Disabled.WindowText"),
            QStringLiteral("Disabled.Text"),
            QStringLiteral("Disabled.ButtonText")};
}

bool ParseThemeFile(const QString& text, TThemeFile* theme)
{
    static const QRegularExpression line(
        QStringLiteral(R"(^[ \t]*\*?[ \t]*(name|palette[ \t]+[A-Za-z.]+|button-[a-z]+)[ \t]*:[ \t]*(\S+)[ \t]*$)"),
        QRegularExpression::MultilineOption);
    TThemeFile parsed;
    auto matches = line.globalMatch(HeaderComment(text));
    while (matches.hasNext()) {
        const auto match = matches.next();
        const QString key = match.captured(1);
        const QString value = match.captured(2);
        if (key == QLatin1String("name")) {
            parsed.Name = value;
            continue;
        }
        if (!IsColour(value))
            return false;
        if (key.startsWith(QLatin1String("palette")))
            parsed.Palette[key.mid(7).trimmed()] = value;
        else if (key == QLatin1String("button-hot"))
            parsed.ButtonHot = value;
        else if (key == QLatin1String("button-focused"))
            parsed.ButtonFocused = value;
        else if (key == QLatin1String("button-pressed"))
            parsed.ButtonPressed = value;
    }
    if (parsed.Name.isEmpty() || parsed.ButtonHot.isEmpty() || parsed.ButtonFocused.isEmpty() ||
        parsed.ButtonPressed.isEmpty())
        return false;
    for (const QString& role : RequiredPaletteRoles()) {
        if (!parsed.Palette.contains(role))
            return false;
    }
    parsed.StyleSheet = text;
    *theme = std::move(parsed);
    return true;
}

bool ReadThemeFile(const QString& path, TThemeFile* theme)
{
    std::string text;
    int error = 0;
    if (ReadBoundedFile(QFile::encodeName(path).toStdString(), kMaxThemeBytes, &text, &error) != TBoundedRead::Read)
        return false;
    return ParseThemeFile(QString::fromUtf8(text), theme);
}

}  // namespace reelsmith
