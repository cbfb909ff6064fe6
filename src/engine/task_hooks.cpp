// Hooks and preview pictures of a running task: decoded and about-to-be-encoded pictures
// and audio handed to the component, pictures painted by a hook taken back before they
// go on, and preview bitmaps spaced by the preview interval.

#include <cstring>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/loop_state.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {
int64_t Now() { return ff().av_gettime_relative(); }
}  // namespace

bool TCustomFFmpeg::SetVideoHookBitsPixel(int bitsPixel)
{
    if (!TCustomFFmpegOpt::SetVideoHookBitsPixel(bitsPixel))
        return false;
    FLoop->hooks.FInputVideoHook.SetBitsPixel(bitsPixel);
    FLoop->hooks.FOutputVideoHook.SetBitsPixel(bitsPixel);
    return true;
}

void TCustomFFmpeg::SetPostHook(TPostHook hook, bool on)
{
    THookState& hooks = FLoop->hooks;
    std::lock_guard lock(hooks.FHookLock);
    const unsigned before = hooks.FPostHooks;
    hooks.FPostHooks = on ? (hooks.FPostHooks | hook) : (hooks.FPostHooks & ~unsigned(hook));
    hooks.FPostHooksChanged = hooks.FPostHooksChanged || before != hooks.FPostHooks;
}

bool TCustomFFmpeg::PostHook(TPostHook hook) const
{
    std::lock_guard lock(FLoop->hooks.FHookLock);
    return FLoop->hooks.FPostHooks & hook;
}

// Hands a picture to a bitmap hook; false when the hook is to be disconnected.
bool TCustomFFmpeg::CallVideoHook(const TVideoHookEvent& hook, TFormatConverter& converter, AVFrame* frame,
                                  int64_t frameNumber)
{
    if (!converter.PictureToRGB(frame->data, frame->linesize, static_cast<AVPixelFormat>(frame->format), frame->width,
                                frame->height)) {
        EngineLog(TLogLevel::llError, converter.LastErrMsg());
        return false;
    }
    TRGBPicture& bitmap = FLoop->hooks.FHookBitmap;
    bitmap = converter.Bitmap();
    THookInfo info;
    info.Bitmap = &bitmap;
    info.FrameNumber = static_cast<int32_t>(frameNumber);
    info.PTS = frame->pts;
    try {
        hook(this, info);
    } catch (const std::exception& e) {
        EngineLog(TLogLevel::llError, std::string("Error occurs VideoHook event: ") + e.what());
        info.Update = false;
    }
    if (info.Update && !BitmapToPicture(bitmap, frame))
        return false;
    return !info.StopHook;
}

// Converts a (possibly painted) bitmap back into the frame's own format and size.
bool TCustomFFmpeg::BitmapToPicture(const TRGBPicture& bitmap, AVFrame* frame)
{
    if (bitmap.Width != frame->width || bitmap.Height != frame->height) {
        EngineLog(TLogLevel::llError, "The hook changed the size of the picture.");
        return false;
    }
    if (ff().av_frame_make_writable(frame) < 0) {
        EngineLog(TLogLevel::llError, "Cannot make the hooked picture writable.");
        return false;
    }
    // The cached-context call frees the old context itself when it cannot reuse it.
    TSwsContextPtr& fromBitmap = FLoop->hooks.FFromBitmap;
    fromBitmap.reset(ff().sws_getCachedContext(fromBitmap.release(), bitmap.Width, bitmap.Height, bitmap.PixFmt,
                                               frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                               SWS_BICUBIC, nullptr, nullptr, nullptr));
    SwsContext* ctx = fromBitmap.get();
    if (!ctx) {
        EngineLog(TLogLevel::llError, "Cannot initialize the conversion context of the hook picture.");
        return false;
    }
    const uint8_t* planes[4] = {bitmap.Bytes.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {bitmap.Stride, 0, 0, 0};
    ff().sws_scale(ctx, planes, strides, 0, bitmap.Height, frame->data, frame->linesize);
    return true;
}

void TCustomFFmpeg::InputHooks(TInputStream& ist, AVFrame* frame)
{
    if (ist.dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (FOnAudioInputHook)
            CallAudioHook(FOnAudioInputHook, frame);
        return;
    }
    if (ist.dec_ctx->codec_type != AVMEDIA_TYPE_VIDEO)
        return;
    const int64_t number = ist.clock.frames_decoded - 1;
    if (FOnFrameInputHook)
        CallFrameHook(FOnFrameInputHook, frame, number);
    if (FOnVideoInputHook && !CallVideoHook(FOnVideoInputHook, FLoop->hooks.FInputVideoHook, frame, number))
        FOnVideoInputHook = nullptr;
}

void TCustomFFmpeg::OutputHooks(TOutputStream& ost, AVFrame* frame)
{
    if (ost.enc_ctx->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (FOnAudioOutputHook)
            CallAudioHook(FOnAudioOutputHook, frame);
        return;
    }
    if (FOnFrameOutputHook)
        CallFrameHook(FOnFrameOutputHook, frame, ost.frame_number);
    // The hooks and converters are the worker's alone; only the post-hooks may change
    // under it. No lock is held while an event runs: it may wait for the main thread.
    bool converted = false;
    if (FOnVideoOutputHook) {
        converted = CallVideoHook(FOnVideoOutputHook, FLoop->hooks.FOutputVideoHook, frame, ost.frame_number);
        if (!converted)
            FOnVideoOutputHook = nullptr;
    }
    PreviewBitmap(ost, frame, converted);
}

// Hands the picture to the preview, spaced by the preview interval; converted says the output
// hook just converted (and maybe painted) it.
void TCustomFFmpeg::PreviewBitmap(TOutputStream& ost, AVFrame* frame, bool converted)
{
    THookState& hooks = FLoop->hooks;
    bool changed;
    {
        std::lock_guard lock(hooks.FHookLock);
        if (!(hooks.FPostHooks & phBitmap) || !FOnPreviewBitmap)
            return;
        changed = hooks.FPostHooksChanged;
        hooks.FPostHooksChanged = false;
    }
    const int64_t now = Now();
    if (hooks.FPreviewLastTime && now - hooks.FPreviewLastTime <= FPreviewInterval)
        return;
    hooks.FPreviewLastTime = now;
    // A picture the output hook just converted (and maybe painted) is shown as it is.
    if (!converted || changed) {
        if (!hooks.FOutputVideoHook.PictureToRGB(
                frame->data, frame->linesize, static_cast<AVPixelFormat>(frame->format), frame->width, frame->height)) {
            EngineLog(TLogLevel::llError, hooks.FOutputVideoHook.LastErrMsg());
            SetPostHook(phBitmap, false);
            return;
        }
        hooks.FHookBitmap = hooks.FOutputVideoHook.Bitmap();
    }
    try {
        FOnPreviewBitmap(this, hooks.FHookBitmap, static_cast<int32_t>(ost.frame_number), frame->pts);
    } catch (const std::exception& e) {
        EngineLog(TLogLevel::llError, std::string("Error occurs PreviewBitmap event: ") + e.what());
        SetPostHook(phBitmap, false);
    }
}

void TCustomFFmpeg::PreviewAudioWrite(const AVFrame* frame)
{
    THookState& hooks = FLoop->hooks;
    TPreviewAudio* player;
    {
        std::lock_guard lock(hooks.FHookLock);
        if (!hooks.FWavePlayer) {
            hooks.FWavePlayer = std::make_unique<TPreviewAudio>();
            if (FSuspended == 1)
                hooks.FWavePlayer->Pause();
        }
        player = hooks.FWavePlayer.get();
    }
    player->Write(frame);  // only this thread closes the player
}

int64_t TCustomFFmpeg::PreviewAudioBytes() const { return FLoop->hooks.FPreviewAudioBytes; }

void TCustomFFmpeg::ClosePreviewAudio()
{
    THookState& hooks = FLoop->hooks;
    std::unique_ptr<TPreviewAudio> player;
    {
        std::lock_guard lock(hooks.FHookLock);
        player.swap(hooks.FWavePlayer);
    }
    if (!player)
        return;
    player->Close();
    hooks.FPreviewAudioBytes = player->BytesWritten();
}

void TCustomFFmpeg::CallFrameHook(const TFrameHookEvent& hook, const AVFrame* frame, int64_t frameNumber)
{
    TFrameHookInfo info;
    info.FrameNumber = static_cast<int32_t>(frameNumber);
    info.Picture = frame;
    info.PixFmt = frame->format;
    info.Width = frame->width;
    info.Height = frame->height;
    info.PTS = frame->pts;
    try {
        hook(this, info);
    } catch (const std::exception& e) {
        EngineLog(TLogLevel::llError, std::string("Error occurs FrameHook event: ") + e.what());
    }
}

void TCustomFFmpeg::CallAudioHook(const TAudioHookEvent& hook, const AVFrame* frame)
{
    const int size = ff().av_samples_get_buffer_size(nullptr, frame->ch_layout.nb_channels, frame->nb_samples,
                                                     static_cast<AVSampleFormat>(frame->format), 1);
    try {
        hook(this, frame->pts, frame, size, frame->sample_rate, frame->ch_layout.nb_channels, frame->format);
    } catch (const std::exception& e) {
        EngineLog(TLogLevel::llError, std::string("Error occurs AudioHook event: ") + e.what());
    }
}

}  // namespace reelsmith
