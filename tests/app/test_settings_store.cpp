#include <gtest/gtest.h>

#include <cstdlib>

#include "app/settings_store.h"
#include "settings/output_choices.h"
#include "settings/profile_catalogue.h"
#include "support/test_media.h"

using reelsmith::ReadSettings;
using reelsmith::TIniFile;
using reelsmith::TSettingsDefaults;
using reelsmith::TSettingsValues;
using reelsmith::WriteSettings;

namespace {
const TSettingsDefaults kWindow{800, 600, 700};
}

TEST(SettingsStore, FollowsXdgConfigHome)
{
    reelsmith::test::TempFolder folder;
    setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    EXPECT_EQ(reelsmith::SettingsFilePath(), folder.path() + "/Tarnwick/Reelsmith/reelsmith.ini");
    EXPECT_TRUE(reelsmith::EnsureSettingsFolder());
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(reelsmith::SettingsFilePath(), "/home/someone/.config/Tarnwick/Reelsmith/reelsmith.ini");
}

TEST(SettingsStore, EmptyFileGivesDefaults)
{
    const TSettingsValues v = ReadSettings(TIniFile(), kWindow);
    EXPECT_EQ(v.LocOption, 1);
    EXPECT_TRUE(v.Update);
    EXPECT_TRUE(v.OriginalSettings);
    EXPECT_EQ(v.Custom, "7680x4800");
    EXPECT_EQ(v.Column1, 175);
    EXPECT_EQ(v.Column2, 140);
    EXPECT_EQ(v.Column3, 87);  // room for the status column
    EXPECT_EQ(v.Column4, 175);
    EXPECT_EQ(v.Column5, 87);
    EXPECT_EQ(v.LastDestination, "");
    EXPECT_EQ(v.Width, 800);
    EXPECT_EQ(v.Height, 600);
    EXPECT_EQ(v.CPUusage, 2);
    EXPECT_EQ(v.Threads, 0);
    EXPECT_FALSE(v.Maximized);
    EXPECT_FALSE(v.Dark);
}

// A first start converts with what the Profiles tab shows: the first profile, applied.
TEST(SettingsStore, FirstStartChoicesAreTheShownProfile)
{
    const TSettingsValues v = ReadSettings(TIniFile(), kWindow);
    const reelsmith::TOutputChoices c = v.OutputChoices();
    EXPECT_EQ(reelsmith::ProfileCaptions(v.ProfileType).at(v.ProfileFormat), "AVI (*.avi)");
    EXPECT_EQ(c.VideoFormatText(), "AVI");
    EXPECT_EQ(c.VideoEncoderText(), "MPEG4");
    EXPECT_EQ(c.AudioEncoderText(), "MP3");
    EXPECT_EQ(c.AudioBitrateText(), "128");
    EXPECT_EQ(c.AudioChannelText(), "Original");  // "original parameters" is on at first start
    // A settings file keeps its own choices.
    EXPECT_EQ(ReadSettings(TIniFile("[Settings]\nAudioBitRate2=0\n"), kWindow).AudioBitRate2, 0);
}

TEST(SettingsStore, GarbageValuesFallBackOneByOne)
{
    const TIniFile file(
        "[Reelsmith]\nWidth=wide\nHeight=99999999999\nTab=3\nUpdate=0\nCustom=1000x500\n"
        "[Settings]\nCPUusage=\x01\x02\nVideoFormat2=8\n");
    const TSettingsValues v = ReadSettings(file, kWindow);
    EXPECT_EQ(v.Width, 800);
    EXPECT_EQ(v.Height, 600);
    EXPECT_EQ(v.Tab, 3);
    EXPECT_FALSE(v.Update);
    EXPECT_EQ(v.Custom, "1000x500");
    EXPECT_EQ(v.CPUusage, 2);
    EXPECT_EQ(v.VideoFormat2, 8);
}

TEST(SettingsStore, CustomSizeOtherThanWidthByHeightIsTheDefault)
{
    const char* const stored[] = {"320x240\" -passlogfile /tmp/x", "320x240;", "abc", "0x0", "1e3x2"};
    for (const char* custom : stored) {
        const TIniFile file("[Reelsmith]\nCustom=" + std::string(custom) + "\n");
        EXPECT_EQ(ReadSettings(file, kWindow).Custom, "7680x4800") << custom;
    }
}

TEST(SettingsStore, WriteThenReadRoundTripsAndKeepsOtherKeys)
{
    TIniFile file("[Reelsmith]\nFuture=keep me\n[Elsewhere]\na=b\n");
    TSettingsValues v = TSettingsValues::Defaults(kWindow);
    v.LocOption = 3;
    v.Location = "/srv/out dir";
    v.Command = "-c:v mpeg4 -vf \"scale=640:-2\" -q:v 3";
    v.Tab = 4;
    v.VideoFormat2 = 8;
    v.AudioBitRate2 = 13;
    v.Dark = true;
    v.Width = 1024;
    v.Height = 700;
    WriteSettings(file, v);
    const TSettingsValues back = ReadSettings(TIniFile(file.Text()), kWindow);
    EXPECT_EQ(back.LocOption, 3);
    EXPECT_EQ(back.Location, "/srv/out dir");
    EXPECT_EQ(back.Command, v.Command);
    EXPECT_EQ(back.Tab, 4);
    EXPECT_EQ(back.VideoFormat2, 8);
    EXPECT_EQ(back.AudioBitRate2, 13);
    EXPECT_TRUE(back.Dark);
    EXPECT_EQ(back.Width, 1024);
    EXPECT_EQ(file.ReadString("Reelsmith", "Future", ""), "keep me");
    EXPECT_EQ(file.ReadString("Elsewhere", "a", ""), "b");
}

TEST(SettingsStore, MaximizedKeepsTheStoredNormalSize)
{
    TIniFile file("[Reelsmith]\nWidth=640\nHeight=480\n");
    TSettingsValues v = TSettingsValues::Defaults(kWindow);
    v.Maximized = true;
    v.Width = 1920;
    v.Height = 1080;
    WriteSettings(file, v);
    const TSettingsValues back = ReadSettings(file, kWindow);
    EXPECT_TRUE(back.Maximized);
    EXPECT_EQ(back.Width, 640);
    EXPECT_EQ(back.Height, 480);
}
