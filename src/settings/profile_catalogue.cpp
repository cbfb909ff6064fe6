#include "settings/profile_catalogue.h"

namespace reelsmith {
namespace {

enum TType { General, HDVideo, K4Video, IPhone, IPad, AppleTV };

// Columns: type, caption, format, video encoder, resolution, video bit rate, frame rate,
// sample rate, audio bit rate, channel, audio encoder. "" = unchanged.
// Where a profile would ask for an encoder its format does not offer, it names the format's
// own encoder (see docs/profiles.md).
const std::vector<TProfile> kProfiles{
    {General, "AVI (*.avi)", "AVI", "MPEG4", "", "Original", "", "44100", "128", "Stereo", "MP3"},
    {General, "M4V (*.m4v)", "M4V", "MPEG4", "", "Original", "", "44100", "96", "Stereo", "AAC"},
    {General, "MKV (*.mkv)", "MKV", "MPEG4", "", "Original", "", "44100", "128", "Stereo", "MP3"},
    {General, "QuickTime (*.mov)", "MOV", "MPEG4", "", "Original", "", "44100", "128", "Stereo", "AAC"},
    {General, "MPEG4 (*.mp4)", "MP4", "MPEG4", "", "Original", "", "44100", "96", "Stereo", "AAC"},
    {General, "MPEG4 AVC (*.mp4)", "MP4", "H.264", "", "Original", "", "44100", "96", "Stereo", "AAC"},
    {General, "MPEG (*.mpg)", "MPG", "MPEG2", "", "Original", "", "44100", "128", "Stereo", "MP2"},
    {General, "VOB (*.vob)", "VOB", "MPEG2", "720x480", "5000", "30", "44100", "256", "Stereo", "MP2"},
    {General, "WebM (*.webm)", "WebM", "VP8", "", "Original", "", "44100", "128", "Stereo", "OGG"},
    {General, "WMV (*.wmv)", "WMV", "WMV", "", "Original", "", "44100", "128", "Stereo", "WMA"},
    {General, "DVD-Video (*.vob)", "VOB", "MPEG2", "720x480", "5000", "30", "44100", "192", "Stereo", "MP2"},

    {HDVideo, "HD AVI (*.avi)", "AVI", "H.264", "1920x1080", "10000", "", "48000", "192", "Stereo", "AC3"},
    {HDVideo, "HD XviD (*.avi)", "AVI", "xVid", "1920x1080", "9000", "", "44100", "128", "Stereo", "MP3"},
    {HDVideo, "HD MKV (*.mkv)", "MKV", "H.264", "1920x1080", "7000", "", "44100", "192", "Stereo", "MP3"},
    {HDVideo, "HD MPEG4 (*.mp4)", "MP4", "MPEG4", "1920x1080", "7000", "", "44100", "128", "Stereo", "AAC"},
    {HDVideo, "HD AVC (*.mp4)", "MP4", "H.264", "1920x1080", "7000", "", "44100", "192", "Stereo", "AAC"},
    {HDVideo, "HD MPEG (*.mpg)", "MPG", "MPEG2", "1920x1080", "10000", "", "44100", "128", "Stereo", "MP2"},
    {HDVideo, "HD TS (*.ts)", "TS", "H.264", "1920x1080", "7000", "", "44100", "192", "Stereo", "AC3"},
    {HDVideo, "HD VOB (*.vob)", "VOB", "MPEG2", "1920x1080", "10000", "", "44100", "384", "Stereo", "MP2"},
    {HDVideo, "HD WebM (*.webm)", "WebM", "VP8", "1920x1080", "4000", "", "44100", "128", "Stereo", "OGG"},
    {HDVideo, "HD WMV (*.wmv)", "WMV", "WMV", "1920x1080", "7000", "", "48000", "128", "Stereo", "WMA"},

    {K4Video, "4K AVI (*.avi)", "AVI", "H.264", "4096x2160", "25000", "", "44100", "192", "Stereo", "AC3"},
    {K4Video, "4K XviD (*.avi)", "AVI", "xVid", "4096x2160", "25000", "", "44100", "128", "Stereo", "MP3"},
    {K4Video, "4K MKV (*.mkv)", "MKV", "H.264", "4096x2160", "25000", "", "44100", "192", "Stereo", "MP3"},
    {K4Video, "4K MPEG4 (*.mp4)", "MP4", "MPEG4", "4096x2160", "25000", "", "44100", "128", "Stereo", "AAC"},
    {K4Video, "4K AVC (*.mp4)", "MP4", "H.264", "4096x2160", "25000", "", "44100", "128", "Stereo", "AAC"},
    {K4Video, "4K TS (*.ts)", "TS", "H.264", "4096x2160", "25000", "", "44100", "192", "Stereo", "AC3"},
    {K4Video, "4K WebM (*.webm)", "WebM", "VP8", "4096x2160", "25000", "", "44100", "128", "Stereo", "OGG"},

    {IPhone, "iPhone 5/6 MOV (*.mov)", "MOV", "MPEG4", "640x480", "1500", "", "44100", "128", "Stereo", "AAC"},
    {IPhone, "iPhone 5/6 MPEG4 (*.mp4)", "MP4", "H.264", "640x480", "2000", "", "44100", "128", "Stereo", "AAC"},
    {IPhone, "iPhone 5/6 HD (*.mp4)", "MP4", "H.264", "1920x1080", "7000", "", "48000", "160", "Stereo", "AAC"},
    {IPhone, "iPhone 5/6 720p (*.mp4)", "MP4", "H.264", "1280x720", "7000", "", "48000", "160", "Stereo", "AAC"},
    {IPhone, "iPhone 7/8/X HD (*.mp4)", "MP4", "H.264", "1920x1080", "9000", "", "48000", "160", "Stereo", "AAC"},

    {IPad, "iPad 4/Pro/Air MOV (*.mov)", "MOV", "MPEG4", "640x480", "1500", "", "44100", "128", "Stereo", "AAC"},
    {IPad, "iPad 4/Pro/Air HD (*.mp4)", "MP4", "H.264", "1920x1080", "9000", "", "48000", "160", "Stereo", "AAC"},
    {IPad, "iPad 4/Pro/Air 720p (*.mp4)", "MP4", "H.264", "1280x720", "3000", "", "48000", "160", "Stereo", "AAC"},

    {AppleTV, "Apple TV 2 DD (*.m4v)", "M4V", "H.264", "1280x720", "3000", "", "48000", "128", "Stereo", "AAC"},
    {AppleTV, "Apple TV 3/4 DD (*.m4v)", "M4V", "H.264", "1920x1200", "5000", "", "48000", "128", "Stereo", "AAC"},
    {AppleTV, "Apple TV MPEG4 (*.mp4)", "MP4", "H.264", "720x480", "1500", "", "48000", "128", "Stereo", "AAC"},
    {AppleTV, "Apple TV HD (*.mp4)", "MP4", "H.264", "1280x720", "3000", "25", "48000", "128", "Stereo", "AAC"},
};

std::vector<const TProfile*> ProfilesOfType(int type)
{
    std::vector<const TProfile*> profiles;
    for (const TProfile& profile : kProfiles)
        if (profile.Type == type)
            profiles.push_back(&profile);
    return profiles;
}

// Selects `text` in a list when the profile names it; positions that do not exist clear the list.
void SetNamed(int& position, const TEntryList& entries, const std::string& text)
{
    if (!text.empty())
        position = EntryPosition(entries, text);
}

void SetNamedFrameSize(TOutputChoices& c, const std::string& text)
{
    if (!text.empty())
        c.VideoFrameSize = EntryPosition(c.VideoFrameSizeEntries(), text);
}

void ResetToOriginal(TOutputChoices& c)
{
    c.VideoAspect = 0;
    c.VideoFrameRate = 0;
    c.VideoFrameSize = 0;
    c.VideoBitrate = 0;
    c.AudioSampleRate = 0;
    c.AudioChannel = 0;
}

}  // namespace

const std::vector<TProfile>& ProfileCatalogue() { return kProfiles; }

std::vector<std::string> ProfileCaptions(int type)
{
    std::vector<std::string> captions;
    for (const TProfile* profile : ProfilesOfType(type))
        captions.push_back(profile->Caption);
    return captions;
}

const TProfile* FindProfile(int type, int position)
{
    const std::vector<const TProfile*> profiles = ProfilesOfType(type);
    if (position < 0 || static_cast<std::size_t>(position) >= profiles.size())
        return nullptr;
    return profiles[position];
}

void ApplyProfile(TOutputChoices& c, int type, int position, bool originalParameters)
{
    if (const TProfile* p = FindProfile(type, position)) {
        c.SetVideoFormat(EntryPosition(ChoiceEntries(TChoiceList::VideoFormat), p->VideoFormat));
        SetNamed(c.VideoEncoder, VideoEncodersOf(c.VideoFormat), p->VideoEncoder);
        SetNamedFrameSize(c, p->FrameSize);
        SetNamed(c.VideoBitrate, ChoiceEntries(TChoiceList::VideoBitrate), p->VideoBitrate);
        SetNamed(c.VideoFrameRate, ChoiceEntries(TChoiceList::VideoFrameRate), p->FrameRate);
        SetNamed(c.AudioSampleRate, ChoiceEntries(TChoiceList::AudioSampleRate), p->SampleRate);
        SetNamed(c.AudioBitrate, ChoiceEntries(TChoiceList::AudioBitrate), p->AudioBitrate);
        SetNamed(c.AudioChannel, ChoiceEntries(TChoiceList::AudioChannel), p->Channel);
        SetNamed(c.AudioEncoder, AudioEncodersOf(c.VideoFormat), p->AudioEncoder);
    }
    if (originalParameters)
        ResetToOriginal(c);
}

}  // namespace reelsmith
