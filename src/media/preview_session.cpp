#include "media/preview_session.h"

#include "media/ff_logger.h"

namespace reelsmith {

TPreviewSession::TPreviewSession(std::string libraryFolder) : FLibraryFolder(std::move(libraryFolder)) { ResetView(); }

// Every step that reaches the libraries keeps its lines from the log handler, which belongs
// to a run that may go on meanwhile.
bool TPreviewSession::Open(const std::string& path)
{
    const TNoLogEvents own;
    Close();
    if (!FDecoder.AVLibLoaded() && !FDecoder.LoadAVLib(FLibraryFolder))
        return Fail();
    if (!FDecoder.LoadFile(path))
        return Fail();
    FOpen = true;
    FHasVideo = FDecoder.VideoStreamCount() > 0;
    const int64_t duration = FDecoder.FileStreamInfo().Duration;
    if (duration > 0)
        FDuration = duration;
    FSlider.Enabled = FDuration > 0 && FHasVideo && !FDecoder.IsStillPicture();
    if (FHasVideo) {
        const TVideoStreamInfo video = FDecoder.FirstVideoStreamInfo();
        const int64_t length = video.DurationScaled > 0 ? video.DurationScaled : FDuration;
        FFrames = EstimateFrames(length, video.FrameRate.num, video.FrameRate.den);
        NextFrame();
    }
    ConfigureSlider();
    return true;
}

void TPreviewSession::Close()
{
    const TNoLogEvents own;
    FDecoder.CloseFile();
    FOpen = false;
    FHasVideo = false;
    ResetView();
}

void TPreviewSession::ResetView()
{
    FDuration = FFrames = FCurrentPTS = 0;
    FBitmap = TRGBPicture{};
    FSlider.Enabled = false;
    FSlider.Position = 0;
    ConfigureSlider();
}

bool TPreviewSession::Fail()
{
    FLastErrMsg = FDecoder.LastErrMsg();
    return false;
}

void TPreviewSession::ConfigureSlider()
{
    FSlider = reelsmith::ConfigureSlider(FSlider, FFrames);
    FLastPosition = FSlider.Position;
}

int TPreviewSession::FramePosition() const { return SliderPositionFor(FCurrentPTS, FDuration, FSlider.Maximum); }

bool TPreviewSession::ShowFrame()
{
    const TFrameInfo& frame = FDecoder.FrameInfo();
    FCurrentPTS = frame.PTS != AV_NOPTS_VALUE ? frame.PTS : 0;
    if (!FChanging && FDuration > 0) {
        FSlider.Position = FramePosition();
        FLastPosition = FSlider.Position;
    }
    // A picture that cannot be converted is shown black at the frame's size.
    FDecoder.CopyToBitmap(FBitmap);
    return true;
}

bool TPreviewSession::NextFrame()
{
    const TNoLogEvents own;
    return FDecoder.Decode() && ShowFrame();
}

bool TPreviewSession::PreviousFrame()
{
    const TNoLogEvents own;
    return FDecoder.DecodePreviousFrame() && ShowFrame();
}

bool TPreviewSession::NextKeyFrame()
{
    const TNoLogEvents own;
    return FDecoder.DecodeNextKeyFrame() && ShowFrame();
}

bool TPreviewSession::PreviousKeyFrame()
{
    const TNoLogEvents own;
    return FDecoder.DecodePreviousKeyFrame() && ShowFrame();
}

bool TPreviewSession::MoveSlider(int position)
{
    if (FChanging || !FSlider.Enabled || !FHasVideo)
        return false;
    FSlider.Position = position;
    if (position == FLastPosition)
        return false;
    FChanging = true;
    // Steps are counted from the frame on show, so the thumb and the picture cannot drift
    // apart (a seek past the last frame leaves the thumb beyond it).
    const int shown = FramePosition();
    bool changed = false;
    if (position == shown + 1 || position == shown - 1) {
        changed = position > shown ? NextFrame() : PreviousFrame();
        FSlider.Position = FramePosition();  // also back onto the frame when there was none to go to
    } else if (position != shown) {
        changed = SeekTo(SliderTarget(position, FSlider.Maximum, FDuration));
    }
    FLastPosition = FSlider.Position;
    FChanging = false;
    return changed;
}

bool TPreviewSession::SeekTo(int64_t target)
{
    const TNoLogEvents own;
    return FDecoder.DecodeFrameAt(target) && ShowFrame();
}

}  // namespace reelsmith
