#include "app/settings_store.h"

#include "settings/output_choices.h"
#include "settings/profile_catalogue.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace reelsmith {

namespace {

constexpr const char* kMain = "Reelsmith";
constexpr const char* kChoices = "Settings";

std::string ConfigHome()
{
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    if (configured && configured[0] == '/')
        return configured;
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : ".") + "/.config";
}

}  // namespace

std::string SettingsFolder() { return ConfigHome() + "/Tarnwick/Reelsmith/"; }

std::string SettingsFilePath() { return SettingsFolder() + "reelsmith.ini"; }

bool EnsureSettingsFolder()
{
    std::error_code error;
    std::filesystem::create_directories(SettingsFolder(), error);
    return !error && std::filesystem::is_directory(SettingsFolder(), error);
}

TSettingsValues TSettingsValues::Defaults(const TSettingsDefaults& window)
{
    TSettingsValues values;
    values.Column1 = window.ListWidth / 4;
    values.Column2 = window.ListWidth / 5;
    values.Column3 = window.ListWidth / 8;
    values.Column4 = window.ListWidth / 4;
    values.Column5 = window.ListWidth / 8;
    values.Height = window.Height;
    values.Width = window.Width;
    // The first start shows the first profile selected, so its choices are what it converts
    // with: the same as pressing Apply on that profile.
    TOutputChoices shown;
    ApplyProfile(shown, values.ProfileType, values.ProfileFormat, values.OriginalSettings);
    values.SetOutputChoices(shown);
    return values;
}

TOutputChoices TSettingsValues::OutputChoices() const
{
    TOutputChoices c;
    c.VideoFormat = VideoFormat2;
    c.VideoEncoder = VideoEncoder2;
    c.VideoAspect = VideoAspect2;
    c.VideoFrameSize = VideoFrameSize2;
    c.VideoFrameRate = VideoFrameRate2;
    c.VideoBitrate = VideoBitRate2;
    c.AudioFormat = AudioFormat2;
    c.AudioEncoder = AudioEncoder2;
    c.AudioChannel = AudioChannel2;
    c.AudioSampleRate = AudioSampleRate2;
    c.AudioBitrate = AudioBitRate2;
    c.Threads = Threads;
    c.CPUUsage = CPUusage;
    c.CustomFrameSize = Custom;
    return c;
}

void TSettingsValues::SetOutputChoices(const TOutputChoices& c)
{
    VideoFormat2 = c.VideoFormat;
    VideoEncoder2 = c.VideoEncoder;
    VideoAspect2 = c.VideoAspect;
    VideoFrameSize2 = c.VideoFrameSize;
    VideoFrameRate2 = c.VideoFrameRate;
    VideoBitRate2 = c.VideoBitrate;
    AudioFormat2 = c.AudioFormat;
    AudioEncoder2 = c.AudioEncoder;
    AudioChannel2 = c.AudioChannel;
    AudioSampleRate2 = c.AudioSampleRate;
    AudioBitRate2 = c.AudioBitrate;
}

TSettingsValues ReadSettings(const TIniFile& file, const TSettingsDefaults& window)
{
    const TSettingsValues d = TSettingsValues::Defaults(window);
    TSettingsValues v;
    v.LocOption = file.ReadInteger(kMain, "LocOption", d.LocOption);
    v.Location = file.ReadString(kMain, "Location", d.Location);
    v.AddPath = file.ReadString(kMain, "AddPath", d.AddPath);
    v.LastDestination = file.ReadString(kMain, "LastDestination", d.LastDestination);
    v.AddView = file.ReadInteger(kMain, "AddView", d.AddView);
    v.Command = file.ReadString(kMain, "Command", d.Command);
    v.Update = file.ReadBool(kMain, "Update", d.Update);
    v.OriginalSettings = file.ReadBool(kMain, "OriginalSettings", d.OriginalSettings);
    v.Custom = file.ReadString(kMain, "Custom", d.Custom);
    if (!IsFrameSizeText(v.Custom))  // it becomes part of the option string
        v.Custom = d.Custom;
    v.Column1 = file.ReadInteger(kMain, "Column1", d.Column1);
    v.Column2 = file.ReadInteger(kMain, "Column2", d.Column2);
    v.Column3 = file.ReadInteger(kMain, "Column3", d.Column3);
    v.Column4 = file.ReadInteger(kMain, "Column4", d.Column4);
    v.Column5 = file.ReadInteger(kMain, "Column5", d.Column5);
    v.Height = file.ReadInteger(kMain, "Height", d.Height);
    v.Width = file.ReadInteger(kMain, "Width", d.Width);
    v.Tab = file.ReadInteger(kMain, "Tab", d.Tab);
    v.Maximized = file.ReadBool(kMain, "Maximized", d.Maximized);
    v.Dark = file.ReadBool(kChoices, "Dark", d.Dark);
    v.ProfileType = file.ReadInteger(kChoices, "ProfileType", d.ProfileType);
    v.ProfileFormat = file.ReadInteger(kChoices, "ProfileFormat", d.ProfileFormat);
    v.CPUusage = file.ReadInteger(kChoices, "CPUusage", d.CPUusage);
    v.Threads = file.ReadInteger(kChoices, "Threads", d.Threads);
    v.VideoFormat2 = file.ReadInteger(kChoices, "VideoFormat2", d.VideoFormat2);
    v.VideoEncoder2 = file.ReadInteger(kChoices, "VideoEncoder2", d.VideoEncoder2);
    v.VideoAspect2 = file.ReadInteger(kChoices, "VideoAspect2", d.VideoAspect2);
    v.VideoFrameSize2 = file.ReadInteger(kChoices, "VideoFrameSize2", d.VideoFrameSize2);
    v.VideoFrameRate2 = file.ReadInteger(kChoices, "VideoFrameRate2", d.VideoFrameRate2);
    v.VideoBitRate2 = file.ReadInteger(kChoices, "VideoBitRate2", d.VideoBitRate2);
    v.AudioFormat2 = file.ReadInteger(kChoices, "AudioFormat2", d.AudioFormat2);
    v.AudioEncoder2 = file.ReadInteger(kChoices, "AudioEncoder2", d.AudioEncoder2);
    v.AudioChannel2 = file.ReadInteger(kChoices, "AudioChannel2", d.AudioChannel2);
    v.AudioSampleRate2 = file.ReadInteger(kChoices, "AudioSampleRate2", d.AudioSampleRate2);
    v.AudioBitRate2 = file.ReadInteger(kChoices, "AudioBitRate2", d.AudioBitRate2);
    return v;
}

void WriteSettings(TIniFile& file, const TSettingsValues& v)
{
    file.WriteInteger(kMain, "LocOption", v.LocOption);
    file.WriteString(kMain, "Location", v.Location);
    file.WriteString(kMain, "AddPath", v.AddPath);
    file.WriteString(kMain, "LastDestination", v.LastDestination);
    file.WriteInteger(kMain, "AddView", v.AddView);
    file.WriteString(kMain, "Command", v.Command);
    if (v.Maximized) {
        file.WriteBool(kMain, "Maximized", true);
    } else {
        file.WriteBool(kMain, "Maximized", false);
        file.WriteInteger(kMain, "Height", v.Height);
        file.WriteInteger(kMain, "Width", v.Width);
    }
    file.WriteBool(kMain, "OriginalSettings", v.OriginalSettings);
    file.WriteInteger(kMain, "Tab", v.Tab);
    file.WriteInteger(kChoices, "CPUusage", v.CPUusage);
    file.WriteInteger(kChoices, "Threads", v.Threads);
    file.WriteBool(kMain, "Update", v.Update);
    file.WriteString(kMain, "Custom", v.Custom);
    file.WriteInteger(kMain, "Column1", v.Column1);
    file.WriteInteger(kMain, "Column2", v.Column2);
    file.WriteInteger(kMain, "Column3", v.Column3);
    file.WriteInteger(kMain, "Column4", v.Column4);
    file.WriteInteger(kMain, "Column5", v.Column5);
    file.WriteInteger(kChoices, "VideoFormat2", v.VideoFormat2);
    file.WriteInteger(kChoices, "VideoEncoder2", v.VideoEncoder2);
    file.WriteInteger(kChoices, "VideoAspect2", v.VideoAspect2);
    file.WriteInteger(kChoices, "VideoFrameSize2", v.VideoFrameSize2);
    file.WriteInteger(kChoices, "VideoFrameRate2", v.VideoFrameRate2);
    file.WriteInteger(kChoices, "VideoBitRate2", v.VideoBitRate2);
    file.WriteInteger(kChoices, "AudioFormat2", v.AudioFormat2);
    file.WriteInteger(kChoices, "AudioEncoder2", v.AudioEncoder2);
    file.WriteInteger(kChoices, "AudioChannel2", v.AudioChannel2);
    file.WriteInteger(kChoices, "AudioSampleRate2", v.AudioSampleRate2);
    file.WriteInteger(kChoices, "AudioBitRate2", v.AudioBitRate2);
    file.WriteBool(kChoices, "Dark", v.Dark);
    file.WriteInteger(kChoices, "ProfileType", v.ProfileType);
    file.WriteInteger(kChoices, "ProfileFormat", v.ProfileFormat);
}

}  // namespace reelsmith
