// The job records release every FFmpeg object they hold (the ASan pass reports leaks),
// including what still waits in their queues.
#include <gtest/gtest.h>

#include <memory>

#include "engine/options/dict_builder.h"
#include "engine/job_records.h"
#include "engine_test_support.h"
#include "support/test_media.h"

namespace reelsmith {
namespace {

class JobRecords : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
};

TPacketPtr FilledPacket()
{
    TPacketPtr pkt(ff().av_packet_alloc());
    EXPECT_EQ(ff().av_new_packet(pkt.get(), 64), 0);
    return pkt;
}

TFramePtr FilledFrame()
{
    TFramePtr frame(ff().av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 16;
    frame->height = 16;
    EXPECT_EQ(ff().av_frame_get_buffer(frame.get(), 0), 0);
    return frame;
}

TEST_F(JobRecords, ReleaseEverythingTheyHold)
{
    test::TempFolder folder;
    const std::string input = test::MakeMedia("records_in.mkv", "-f lavfi -i testsrc=size=32x32:duration=0.1");
    TJobGraph graph;

    auto in = std::make_unique<TInputFile>();
    AVFormatContext* ic = nullptr;
    ASSERT_EQ(ff().avformat_open_input(&ic, input.c_str(), nullptr, nullptr), 0);
    in->ctx.reset(ic);
    in->pkt = FilledPacket();
    graph.Finput_files.push_back(std::move(in));

    auto ist = std::make_unique<TInputStream>();
    ist->st = ic->streams[0];
    ist->dec_ctx.reset(ff().avcodec_alloc_context3(nullptr));
    ist->decoded_frame = FilledFrame();
    ist->pkt = FilledPacket();
    ist->decoder_opts.Set("threads", "2");
    ist->sub2video.sub_queue.reset(ff().av_fifo_alloc2(2, sizeof(AVSubtitle), AV_FIFO_FLAG_AUTO_GROW));
    AVSubtitle sub{};
    sub.num_rects = 0;
    ff().av_fifo_write(ist->sub2video.sub_queue.get(), &sub, 1);

    auto out = std::make_unique<TOutputFile>();
    AVFormatContext* oc = nullptr;
    const std::string outPath = folder.file("records_out.mkv");
    ASSERT_GE(ff().avformat_alloc_output_context2(&oc, nullptr, nullptr, outPath.c_str()), 0);
    out->ctx.reset(oc);
    ASSERT_GE(ff().avio_open2(&oc->pb, outPath.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), 0);
    out->opts.Set("live", "1");

    auto ost = std::make_unique<TOutputStream>();
    ost->st = ff().avformat_new_stream(oc, nullptr);
    ost->enc_ctx.reset(ff().avcodec_alloc_context3(nullptr));
    ost->ref_par.reset(ff().avcodec_parameters_alloc());
    ost->filtered_frame = FilledFrame();
    ost->last_frame = FilledFrame();
    ost->pkt = FilledPacket();
    ost->muxing_queue.reset(ff().av_fifo_alloc2(4, sizeof(AVPacket*), AV_FIFO_FLAG_AUTO_GROW));
    for (int i = 0; i < 3; ++i) {
        AVPacket* queued = FilledPacket().release();
        ff().av_fifo_write(ost->muxing_queue.get(), &queued, 1);
    }
    ost->encoder_opts.Set("b", "1k");
    const AVBitStreamFilter* null = ff().av_bsf_get_by_name("null");
    AVBSFContext* bsf = nullptr;
    ASSERT_GE(ff().av_bsf_alloc(null, &bsf), 0);
    ost->bsf_ctx.reset(bsf);
    AVExpr* expr = nullptr;
    static const char* const kNames[] = {"n", nullptr};
    ASSERT_GE(ff().av_expr_parse(&expr, "n*2", kNames, nullptr, nullptr, nullptr, nullptr, 0, nullptr), 0);
    ost->forced_keyframes_pexpr.reset(expr);

    auto fg = std::make_unique<TFilterGraph>();
    fg->graph.reset(ff().avfilter_graph_alloc());
    auto ifilter = std::make_unique<TInputFilter>();
    ifilter->ist = ist.get();
    ifilter->frame_queue.reset(ff().av_fifo_alloc2(2, sizeof(AVFrame*), AV_FIFO_FLAG_AUTO_GROW));
    AVFrame* waiting = FilledFrame().release();
    ff().av_fifo_write(ifilter->frame_queue.get(), &waiting, 1);
    ff().av_channel_layout_default(ifilter->ch_layout.get(), 2);
    ist->filters.push_back(ifilter.get());
    fg->inputs.push_back(std::move(ifilter));
    auto ofilter = std::make_unique<TOutputFilter>();
    ofilter->ost = ost.get();
    ofilter->out_tmp.reset(ff().avfilter_inout_alloc());
    ofilter->ch_layouts.emplace_back();
    ff().av_channel_layout_default(ofilter->ch_layouts.back().get(), 6);
    ost->filter = ofilter.get();
    fg->outputs.push_back(std::move(ofilter));

    graph.Finput_streams.push_back(std::move(ist));
    graph.Foutput_files.push_back(std::move(out));
    graph.Foutput_streams.push_back(std::move(ost));
    graph.Ffiltergraphs.push_back(std::move(fg));

    graph.Clear();
    EXPECT_EQ(graph.Fnb_input_files(), 0);
    EXPECT_EQ(graph.Fnb_output_streams(), 0);
    EXPECT_EQ(graph.Fnb_filtergraphs(), 0);
}

TEST_F(JobRecords, DefaultsOfNewRecords)
{
    const TInputStream ist;
    EXPECT_DOUBLE_EQ(ist.ts_scale, 1.0);
    EXPECT_EQ(ist.autorotate, 1);
    EXPECT_EQ(ist.guess_layout_max, INT32_MAX);
    const TOutputStream ost;
    EXPECT_EQ(ost.max_frames, INT64_MAX);
    EXPECT_EQ(ost.forced_kf_ref_pts, kNoPtsValue);
    EXPECT_EQ(ost.max_muxing_queue_size, 128);
    EXPECT_EQ(ost.muxing_queue_data_threshold, 52428800u);
    const TInputFilter ifilter;
    EXPECT_EQ(ifilter.format, -1);
}

TEST_F(JobRecords, DictionaryAndLayoutOwnership)
{
    TDictionary a;
    a.Set("k", "v");
    TDictionary b = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_STREQ(b.Get("k"), "v");
    TDictionary c;
    c.Set("k", "old");
    c.Set("x", "1");
    c.CopyFrom(b, AV_DICT_DONT_OVERWRITE);
    EXPECT_STREQ(c.Get("k"), "old");
    c.CopyFrom(b);
    EXPECT_STREQ(c.Get("k"), "v");
    EXPECT_EQ(c.Count(), 2);

    // Keys compare without regard to case; the key index survives library edits in place.
    TDictionary d;
    d.Set("Threads", "2");
    d.Set("threads", "4");
    EXPECT_EQ(d.Count(), 1);
    EXPECT_STREQ(d.Get("THREADS"), "4");
    d.Set("flags", "+a");
    d.Set("FLAGS", "+b", AV_DICT_APPEND);
    EXPECT_STREQ(d.Get("flags"), "+a+b");
    d.Set("flags", "x", AV_DICT_DONT_OVERWRITE);
    EXPECT_STREQ(d.Get("flags"), "+a+b");
    ff().av_dict_set(d.address(), "extra", "1", 0);
    d.Set("EXTRA", "2");
    EXPECT_EQ(d.Count(), 3);
    EXPECT_STREQ(d.Get("extra"), "2");

    TDictBuilder builder;
    builder.Set("B:v", "1");
    builder.Set("b:V", "2");
    builder.Set("g", "+x");
    builder.Set("G", "+y", AV_DICT_APPEND);
    builder.Set("g", "z", AV_DICT_DONT_OVERWRITE);
    for (int i = 0; i < 200; ++i)
        builder.Set("same", std::to_string(i));
    EXPECT_EQ(builder.Count(), 3);
    const TDictionary built = builder.Build();
    EXPECT_EQ(built.Count(), 3);
    EXPECT_STREQ(built.Get("b:v"), "2");
    EXPECT_STREQ(built.Get("g"), "+x+y");
    EXPECT_STREQ(built.Get("same"), "199");

    TChannelLayout layout;
    ASSERT_EQ(ff().av_channel_layout_from_string(layout.get(), "5.1"), 0);
    TChannelLayout copy(layout);
    EXPECT_EQ(copy.get()->nb_channels, 6);
    TChannelLayout custom;
    custom = copy;
    EXPECT_EQ(ff().av_channel_layout_compare(custom.get(), layout.get()), 0);
}

TEST_F(JobRecords, ChannelLayoutsKeepTheirOwnership)
{
    TChannelLayout stereo = TChannelLayout::Default(2);
    EXPECT_EQ(stereo.get()->order, AV_CHANNEL_ORDER_NATIVE);
    EXPECT_EQ(stereo.get()->nb_channels, 2);

    TChannelLayout parsed;
    ASSERT_EQ(parsed.Parse("5.1"), 0);
    EXPECT_EQ(parsed.get()->nb_channels, 6);
    EXPECT_LT(parsed.Parse("no such layout"), 0);
    EXPECT_EQ(parsed.get()->nb_channels, 0);
    // A custom order (right before left): the layout owns its channel map.
    parsed.get()->order = AV_CHANNEL_ORDER_CUSTOM;
    parsed.get()->nb_channels = 2;
    parsed.get()->u.map = static_cast<AVChannelCustom*>(ff().av_mallocz(2 * sizeof(AVChannelCustom)));
    ASSERT_NE(parsed.get()->u.map, nullptr);
    parsed.get()->u.map[0].id = AV_CHAN_FRONT_RIGHT;
    parsed.get()->u.map[1].id = AV_CHAN_FRONT_LEFT;

    TChannelLayout copy(*parsed);
    TChannelLayout moved(std::move(parsed));
    EXPECT_EQ(parsed.get()->nb_channels, 0);  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(ff().av_channel_layout_compare(moved.get(), copy.get()), 0);
    moved = TChannelLayout::Unspecified(3);
    EXPECT_EQ(moved.get()->order, AV_CHANNEL_ORDER_UNSPEC);
    EXPECT_EQ(moved.get()->nb_channels, 3);
    moved.Assign(*copy);
    EXPECT_EQ(ff().av_channel_layout_compare(moved.get(), copy.get()), 0);

    // A field of a library structure: the codec context releases what it is handed.
    TCodecContextPtr context(ff().avcodec_alloc_context3(nullptr));
    ASSERT_TRUE(context);
    copy.CopyTo(context->ch_layout);
    EXPECT_EQ(ff().av_channel_layout_compare(&context->ch_layout, copy.get()), 0);
    EXPECT_NE(context->ch_layout.u.map, copy.get()->u.map);
    const AVChannelCustom* handed = moved.get()->u.map;
    moved.MoveTo(context->ch_layout);
    EXPECT_EQ(moved.get()->nb_channels, 0);
    EXPECT_EQ(context->ch_layout.order, AV_CHANNEL_ORDER_CUSTOM);
    EXPECT_EQ(context->ch_layout.u.map, handed);
    TChannelLayout::Unspecified(5).MoveTo(context->ch_layout);
    EXPECT_EQ(context->ch_layout.order, AV_CHANNEL_ORDER_UNSPEC);
    EXPECT_EQ(context->ch_layout.nb_channels, 5);
}

TEST_F(JobRecords, DevicesByNameAndType)
{
    TJobGraph graph;
    auto a = std::make_unique<THWDevice>();
    a->name = "a";
    a->type_ = AV_HWDEVICE_TYPE_VAAPI;
    auto b = std::make_unique<THWDevice>();
    b->name = "b";
    b->type_ = AV_HWDEVICE_TYPE_VAAPI;
    graph.Fhw_devices.push_back(std::move(a));
    graph.Fhw_devices.push_back(std::move(b));
    EXPECT_EQ(graph.FindHWDevice("a")->name, "a");
    EXPECT_EQ(graph.FindHWDevice("c"), nullptr);
    EXPECT_EQ(graph.FindHWDeviceByType(AV_HWDEVICE_TYPE_VAAPI)->name, "b");
    EXPECT_EQ(graph.FindHWDeviceByType(AV_HWDEVICE_TYPE_CUDA), nullptr);
}

}  // namespace
}  // namespace reelsmith
