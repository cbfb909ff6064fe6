#include <gtest/gtest.h>

#include <QFile>

#include "app/theme_file.h"

using namespace reelsmith;

namespace {

QString ShippedTheme()
{
    QFile file(QStringLiteral(REELSMITH_DARK_QSS));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString MinimalTheme()
{
    QString text = QStringLiteral("/*\n * name: Test\n");
    for (const QString& role : RequiredPaletteRoles())
        text += QStringLiteral(" * palette %1: #101010\n").arg(role);
    text += QStringLiteral(
        " * button-hot: #202020\n * button-focused: #303030\n * button-pressed: #404040\n */\n"
        "QWidget { color: white; }\n");
    return text;
}

}  // namespace

TEST(ThemeFile, TheShippedDarkThemeIsComplete)
{
    TThemeFile theme;
    ASSERT_TRUE(ParseThemeFile(ShippedTheme(), &theme));
    EXPECT_EQ(theme.Name, "Dark");
    EXPECT_EQ(theme.Palette.at("Window"), "#2d2f33");
    EXPECT_EQ(theme.Palette.at("Disabled.Text"), "#7a7d82");
    EXPECT_EQ(theme.ButtonFocused, "#62a2e4");
    EXPECT_TRUE(theme.StyleSheet.contains("QToolTip"));
}

TEST(ThemeFile, AnIncompleteOrBrokenHeaderIsNoTheme)
{
    TThemeFile theme;
    ASSERT_TRUE(ParseThemeFile(MinimalTheme(), &theme));
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"empty file", QString()},
        {"sheet without header", QStringLiteral("QWidget { color: white; }")},
        {"no name", MinimalTheme().remove(QStringLiteral(" * name: Test\n"))},
        {"a palette role missing", MinimalTheme().remove(QStringLiteral(" * palette Base: #101010\n"))},
        {"a button colour missing", MinimalTheme().remove(QStringLiteral(" * button-pressed: #404040\n"))},
        {"not a colour",
         MinimalTheme().replace(QStringLiteral("button-hot: #202020"), QStringLiteral("button-hot: red"))},
        {"unclosed comment", MinimalTheme().remove(QStringLiteral(" */\n"))},
    };
    for (const auto& c : cases) {
        TThemeFile untouched;
        untouched.Name = QStringLiteral("before");
        EXPECT_FALSE(ParseThemeFile(c.text, &untouched)) << c.name;
        EXPECT_EQ(untouched.Name, "before") << c.name;
    }
}

TEST(ThemeFile, OnlyTheFirstCommentCounts)
{
    TThemeFile theme;
    ASSERT_TRUE(ParseThemeFile(MinimalTheme() + QStringLiteral("/* name: Other */"), &theme));
    EXPECT_EQ(theme.Name, "Test");
}

TEST(ThemeFile, MissingFileIsNoTheme)
{
    TThemeFile theme;
    EXPECT_FALSE(ReadThemeFile(QStringLiteral("/nonexistent/Dark.qss"), &theme));
}
