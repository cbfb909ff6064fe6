#pragma once
// The main window's settings as stored in reelsmith.ini: where the file lives, every key
// with its default, and reading and writing them in the file's order. The window applies
// the values to its controls; nothing here knows about windows.
#include <string>

#include "app/ini_file.h"
#include "settings/output_choices.h"

namespace reelsmith {

// $XDG_CONFIG_HOME (or ~/.config) + "/Tarnwick/Reelsmith/".
std::string SettingsFolder();
std::string SettingsFilePath();
// Creates the settings folder with any missing parents; false when that fails.
bool EnsureSettingsFolder();

// Defaults that depend on the window: its design size and the list width at loading.
struct TSettingsDefaults {
    int Width = 0;
    int Height = 0;
    int ListWidth = 0;
};

struct TSettingsValues {
    // Section "Reelsmith"
    int LocOption = 1;  // 1 specify, 2 original, 3 following path; others keep the design choice
    std::string Location;
    std::string AddPath;
    std::string LastDestination;  // the folder last chosen in the destination dialog
    int AddView = 0;
    std::string Command;  // the last FFMPEG command accepted
    bool Update = true;
    bool OriginalSettings = true;
    std::string Custom = "7680x4800";
    int Column1 = 0;
    int Column2 = 0;
    int Column3 = 0;
    int Column4 = 0;
    int Column5 = 0;  // the last run's status
    int Height = 0;
    int Width = 0;
    int Tab = 0;
    bool Maximized = false;
    // Section "Settings"
    bool Dark = false;
    int ProfileType = 0;
    int ProfileFormat = 0;
    int CPUusage = 2;
    int Threads = 0;
    int VideoFormat2 = 0;
    int VideoEncoder2 = 0;
    int VideoAspect2 = 0;
    int VideoFrameSize2 = 0;
    int VideoFrameRate2 = 0;
    int VideoBitRate2 = 0;
    int AudioFormat2 = 0;
    int AudioEncoder2 = 0;
    int AudioChannel2 = 0;
    int AudioSampleRate2 = 0;
    int AudioBitRate2 = 0;

    // At first start the list positions are those of the profile the Profiles tab shows.
    static TSettingsValues Defaults(const TSettingsDefaults& window);

    // The output choices the stored list positions stand for, and back (positions only; the
    // effects are never stored).
    TOutputChoices OutputChoices() const;
    void SetOutputChoices(const TOutputChoices& choices);
};

// Every key, a missing or non-integer value taking its default.
TSettingsValues ReadSettings(const TIniFile& file, const TSettingsDefaults& window);
// Writes every key in the file's order; a maximized window writes "Maximized"=1 only and
// leaves the stored normal size as it was.
void WriteSettings(TIniFile& file, const TSettingsValues& values);

}  // namespace reelsmith
