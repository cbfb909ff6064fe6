#pragma once
// A decoder with single-frame video access: decode in order, seek by time, jump to the
// next or previous key frame, step back one frame, and hand the current frame over as
// an RGB picture. All times are microseconds from the start of the decoded stream.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/ffmpeg_handles.h"
#include "media/custom_decoder.h"
#include "media/format_converter.h"

namespace reelsmith {

// The last decoded video frame.
struct TFrameInfo {
    AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
    int Width = -1;
    int Height = -1;
    bool IsKeyFrame = false;
    bool IsInterlaced = false;
    bool IsTopFieldFirst = false;
    AVPictureType PictureType = AV_PICTURE_TYPE_NONE;
    int64_t PTS = AV_NOPTS_VALUE;
    int64_t OriginalDTS = AV_NOPTS_VALUE;
    int64_t OriginalPTS = AV_NOPTS_VALUE;
    int StreamIndex = -1;
    int64_t Position = -1;
    bool Ready = false;
    // Planes and line sizes into Buffer, which survives resets and only grows.
    uint8_t* Picture[4] = {};
    int LineSizes[4] = {};
    std::vector<uint8_t> Buffer;
};

// Seek flags: the library's values; only these bits are passed on.
enum TSeekFlag : int { sfBackward = AVSEEK_FLAG_BACKWARD, sfByte = AVSEEK_FLAG_BYTE, sfAny = AVSEEK_FLAG_ANY };

class TFFDecoder : public TCustomDecoder {
public:
    TFFDecoder();
    ~TFFDecoder() override;

    void CloseFile() override;

    // AStreamIndex -1: the stream chosen before, else the first video stream.
    bool Decode(int AStreamIndex = -1);
    // APTS in microseconds (bytes with sfByte). The next Decode continues from there.
    bool Seek(int64_t APTS, int ASeekFlags = 0);
    // The first key frame after the current frame; fails in the last group of pictures
    // (the current frame is then decoded again).
    bool DecodeNextKeyFrame(int AStreamIndex = -1);
    // The first frame at or after APTS (decoding on from the key frame before it), or the
    // last frame when APTS lies beyond it.
    bool DecodeFrameAt(int64_t APTS, int AStreamIndex = -1);
    bool DecodePreviousKeyFrame(int AStreamIndex = -1);
    bool DecodePreviousFrame(int AStreamIndex = -1);
    // Converts the current frame; on failure ABitmap is the frame's size, filled black.
    bool CopyToBitmap(TRGBPicture& ABitmap);

    // Byte position of the input; -1 when unknown.
    int64_t Position();
    const TFrameInfo& FrameInfo() const { return FPicture; }
    // The end of the stream has been reached and drained.
    bool Eof() const { return FEOF; }
    int BitmapBitsPixel() const { return FFormatConv.BitsPixel(); }
    void SetBitmapBitsPixel(int value) { FFormatConv.SetBitsPixel(value); }
    TFormatConverter& FormatConverter() { return FFormatConv; }
    // A filter chain in the library's text form applied to every decoded video frame
    // (empty: none). The frames keep the decoder's pixel format.
    const std::string& VideoFilters() const { return Fvfilters; }
    void SetVideoFilters(const std::string& chain) { Fvfilters = chain; }
    // The open file is one picture (image demuxer or an image pipe): it cannot be sought.
    bool IsStillPicture() const;

protected:
    void FileOpened() override;

private:
    int ChooseVideoStream(int AStreamIndex);
    bool OpenVideoDecoder(int streamIndex);
    // Takes one frame out of the decoder: 1 frame, 0 needs input, <0 end or error.
    int ReceiveFrame();
    // Passes the decoded frame through the filter chain: 1 a frame is ready, 0 the chain
    // wants more input, <0 error.
    int FilterFrame();
    bool ConfigureFilterGraph(const AVFrame* frame);
    void FreeFilterGraph();
    void LogDecodedFrame(const AVFrame* frame) const;
    void RecordFrame(AVFrame* frame, AVRational timeBase);
    void ResetFrameInfo();
    void ResetFrameAccess();
    int64_t CurrentStep() const { return FrameStep(FFrameRate); }
    bool SeekToPreviousKeyFrame(int64_t ref);
    // Seeks and decodes the first frame of a stretch that starts at or before APTS.
    bool SeekToFrameBefore(int64_t APTS);

    TCodecContextPtr FVideoCodec;
    int FVideoStreamIndex = -1;
    TFormatConverter FFormatConv;
    int FDesireVideoIndex = -1;
    TFramePtr FDecodedFrame;
    TFramePtr FFilteredFrame;
    TPacketPtr FPacket;
    bool FEOF = false;
    bool FEOFpkt = false;
    TFrameInfo FPicture;
    int64_t FLastPTS = AV_NOPTS_VALUE;
    AVRational FFrameRate{0, 0};
    int FSeekIndex = -1;
    std::string Fvfilters;
    std::string Flast_vfilters;
    TFilterGraphPtr Ffilter_graph;
    AVFilterContext* Fbuffersrc_ctx = nullptr;  // owned by the graph
    AVFilterContext* Fbuffersink_ctx = nullptr;
    bool FFilterFlushed = false;  // the end of input has been sent into the chain
};

}  // namespace reelsmith
