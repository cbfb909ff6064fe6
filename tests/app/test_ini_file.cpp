#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/ini_file.h"
#include "support/test_media.h"

using reelsmith::TIniFile;

TEST(IniFile, KeepsUnknownContentAndOrderOnWrite)
{
    const std::string original =
        "; my notes\n"
        "[Other]\n"
        "Keep = yes please\n"
        "\n"
        "[reelsmith]\n"
        "Width=800\n"
        "Mystery=42\n"
        "\n"
        "[Tail]\n"
        "x=1\n";
    TIniFile ini(original);
    ini.WriteInteger("Reelsmith", "WIDTH", 640);
    ini.WriteInteger("Reelsmith", "Height", 480);
    ini.WriteString("Settings", "Dark", "1");
    EXPECT_EQ(ini.Text(),
              "; my notes\n"
              "[Other]\n"
              "Keep = yes please\n"
              "\n"
              "[reelsmith]\n"
              "WIDTH=640\n"
              "Mystery=42\n"
              "Height=480\n"
              "\n"
              "[Tail]\n"
              "x=1\n"
              "\n"
              "[Settings]\n"
              "Dark=1\n");
    EXPECT_EQ(ini.ReadString("Other", "keep", ""), "yes please");
}

TEST(IniFile, IntegersAcceptOnlyDecimal32Bit)
{
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"12", 12},
        {"-3", -3},
        {" +7 ", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", -1},
        {"99999999999999999999", -1},
        {"", -1},
        {"0x10", -1},
        {"12abc", -1},
        {"1.5", -1},
        {"- 1", -1},
        {"abc", -1},
    };
    for (const Case& c : cases) {
        TIniFile ini(std::string("[S]\nK=") + c.text + "\n");
        EXPECT_EQ(ini.ReadInteger("S", "K", -1), c.expected) << c.text;
    }
}

TEST(IniFile, BooleansAreAnyNonZeroInteger)
{
    TIniFile ini("[S]\na=1\nb=0\nc=-5\nd=yes\n");
    EXPECT_TRUE(ini.ReadBool("S", "a", false));
    EXPECT_FALSE(ini.ReadBool("S", "b", true));
    EXPECT_TRUE(ini.ReadBool("S", "c", false));
    EXPECT_TRUE(ini.ReadBool("S", "d", true));
    EXPECT_FALSE(ini.ReadBool("S", "missing", false));
}

TEST(IniFile, FirstSectionAndKeyWinAndLineEndingsMix)
{
    TIniFile ini("[S]\r\nk=first\rk=second\n[s]\nk=third\nother=x\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "first");
    EXPECT_EQ(ini.ReadString("S", "other", "none"), "none");
}

TEST(IniFile, LineEndingsSurviveAsRead)
{
    TIniFile ini("[S]\r\nA=1\r\nB=2\rC=3");
    ini.WriteInteger("S", "A", 5);
    EXPECT_EQ(ini.Text(), "[S]\r\nA=5\r\nB=2\rC=3\n");
}

TEST(IniFile, ValuesCannotSplitTheirLine)
{
    TIniFile ini;
    ini.WriteString("S", "Location", "/tmp/a\nb\r\n[Evil]");
    EXPECT_EQ(ini.ReadString("S", "Location", ""), "/tmp/ab[Evil]");
    EXPECT_EQ(ini.Text(), "[S]\nLocation=/tmp/ab[Evil]\n");
}

TEST(IniFile, GarbageNeverBreaksReading)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 7919) % 256));
    garbage += "\n[Reelsmith\n=\n==\n[]\n]\n\0\0[Reelsmith]\nWidth=\xff\xfe\n";
    TIniFile ini(garbage);
    EXPECT_EQ(ini.ReadInteger("Reelsmith", "Width", 5), 5);
    ini.WriteInteger("Reelsmith", "Width", 9);
    EXPECT_EQ(TIniFile(ini.Text()).ReadInteger("Reelsmith", "Width", 5), 9);
}

TEST(IniFile, SaveAndLoadRoundTripAndFailures)
{
    reelsmith::test::TempFolder folder;
    const std::string path = folder.file("a.ini");
    EXPECT_EQ(TIniFile::Load(path).Text(), "");  // missing file

    TIniFile ini("[Keep]\nk=v\n");
    ini.WriteInteger("Reelsmith", "Tab", 3);
    ASSERT_TRUE(ini.Save(path));
    EXPECT_EQ(TIniFile::Load(path).Text(), ini.Text());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);  // no leftovers

    EXPECT_FALSE(ini.Save(folder.file("missing/a.ini")));
    std::filesystem::create_directory(folder.file("dir.ini"));
    EXPECT_EQ(TIniFile::Load(folder.file("dir.ini")).Text(), "");
    EXPECT_FALSE(ini.Save(folder.file("dir.ini")));
    EXPECT_EQ(TIniFile::Load("/dev/zero").Text(), "");
}

TEST(IniFile, OversizedFileIsIgnored)
{
    reelsmith::test::TempFolder folder;
    const std::string path = folder.file("big.ini");
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Reelsmith]\nTab=3\n";
        out << std::string(TIniFile::kMaxFileBytes, ';');
    }
    EXPECT_EQ(TIniFile::Load(path).ReadInteger("Reelsmith", "Tab", 0), 0);
}
