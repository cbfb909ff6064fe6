#pragma once
// What the Preview window shows of one source file, without the widgets: the decoder,
// the frame on show, its time and the slider's state. The window only draws this and
// passes the user's buttons, keys and slider moves in.

#include <cstdint>
#include <string>

#include "media/ff_decoder.h"
#include "media/preview_slider.h"

namespace reelsmith {

class TPreviewSession {
public:
    // libraryFolder: where the libraries are looked for first when they are not loaded yet.
    explicit TPreviewSession(std::string libraryFolder);

    // Loads the libraries when needed, opens the file and shows its first frame.
    // False with LastErrMsg() when the libraries or the file cannot be opened.
    bool Open(const std::string& path);
    void Close();

    // Each shows the new frame and returns true, or leaves everything as it was.
    bool NextFrame();
    bool PreviousFrame();
    bool NextKeyFrame();
    bool PreviousKeyFrame();
    // The user moved the slider: one step from the frame on show steps one frame,
    // a larger move seeks to the first frame at or after the position's time.
    bool MoveSlider(int position);
    // Fits the slider to the frame count again (after opening and on resizing).
    void ConfigureSlider();

    bool IsOpen() const { return FOpen; }
    bool HasVideo() const { return FHasVideo; }
    // A frame has been converted and can be drawn, viewed at real size and saved.
    bool HasFrame() const { return FBitmap.Width > 0 && FBitmap.Height > 0; }
    const TRGBPicture& Bitmap() const { return FBitmap; }
    const TSliderState& Slider() const { return FSlider; }
    int64_t CurrentPTS() const { return FCurrentPTS; }
    std::string TimeText() const { return FrameTimeText(FCurrentPTS); }
    int64_t Duration() const { return FDuration; }
    int64_t Frames() const { return FFrames; }
    const std::string& LastErrMsg() const { return FLastErrMsg; }
    TFFDecoder& Decoder() { return FDecoder; }

private:
    void ResetView();
    bool Fail();
    // Takes over the decoder's frame after a successful operation.
    bool ShowFrame();
    bool SeekTo(int64_t target);
    // The slider position of the frame on show.
    int FramePosition() const;

    std::string FLibraryFolder;
    TFFDecoder FDecoder;
    TRGBPicture FBitmap;
    TSliderState FSlider;
    int64_t FDuration = 0;
    int64_t FFrames = 0;
    int64_t FCurrentPTS = 0;
    bool FChanging = false;
    int FLastPosition = 0;
    bool FOpen = false;
    bool FHasVideo = false;
    std::string FLastErrMsg;
};

}  // namespace reelsmith
