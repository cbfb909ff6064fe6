#include "engine/pipeline/hw_device.h"

#include "media/engine_log.h"

namespace reelsmith {

namespace {

int InvalidSpec(const std::string& spec)
{
    EngineLog(TLogLevel::llError, "Invalid device specification \"" + spec + "\": parse error");
    return AVERROR(EINVAL);
}

// "<type><n>" with the first number not yet taken.
std::string DefaultName(const TJobGraph& graph, AVHWDeviceType type)
{
    const char* typeName = ff().av_hwdevice_get_type_name(type);
    for (int index = 0;; ++index) {
        std::string name = std::string(typeName) + std::to_string(index);
        if (!graph.FindHWDevice(name))
            return name;
    }
}

// "=name" after the type at k (k then moves behind it), else the first free default name.
// 0 or a negative code.
int ReadDeviceName(const TJobGraph& graph, const std::string& spec, AVHWDeviceType type, size_t& k, std::string& name)
{
    if (k == std::string::npos || spec[k] != '=') {
        name = DefaultName(graph, type);
        return 0;
    }
    const size_t end = spec.find_first_of(":@,", k + 1);
    name = spec.substr(k + 1, end == std::string::npos ? std::string::npos : end - k - 1);
    if (name.empty())
        return InvalidSpec(spec);
    if (graph.FindHWDevice(name)) {
        EngineLog(TLogLevel::llError, "Invalid device specification \"" + spec + "\": named device already exists");
        return AVERROR(EEXIST);
    }
    k = end;
    return 0;
}

// ":device[,key=value...]" or ",key=value...": a device opened with those options.
int OpenDevice(const std::string& spec, AVHWDeviceType type, size_t k, AVBufferRef** ref)
{
    std::string device;
    size_t optionsAt = std::string::npos;
    if (spec[k] == ':') {
        const size_t comma = spec.find(',', k + 1);
        device = spec.substr(k + 1, comma == std::string::npos ? std::string::npos : comma - k - 1);
        optionsAt = comma;
    } else {
        optionsAt = k;
    }
    TDictionary options;
    if (optionsAt != std::string::npos &&
        ff().av_dict_parse_string(options.address(), spec.c_str() + optionsAt + 1, "=", ",", 0) < 0)
        return InvalidSpec(spec);
    return ff().av_hwdevice_ctx_create(ref, type, device.empty() ? nullptr : device.c_str(), options.get(), 0);
}

// The device the rest of spec from k describes: the type's default device, one opened by name
// and options, or one derived from another ("@source"). 0 or a negative code.
int CreateDevice(const TJobGraph& graph, const std::string& spec, AVHWDeviceType type, size_t k, TBufferRefPtr& ref)
{
    AVBufferRef* raw = nullptr;
    int err = 0;
    if (k == std::string::npos) {
        err = ff().av_hwdevice_ctx_create(&raw, type, nullptr, nullptr, 0);
    } else if (spec[k] == ':' || spec[k] == ',') {
        err = OpenDevice(spec, type, k, &raw);
    } else if (spec[k] == '@') {
        const THWDevice* source = graph.FindHWDevice(spec.substr(k + 1));
        if (!source) {
            EngineLog(TLogLevel::llError, "Invalid device specification \"" + spec + "\": unknown source device");
            return AVERROR(EINVAL);
        }
        err = ff().av_hwdevice_ctx_create_derived(&raw, type, source->device_ref.get(), 0);
    } else {
        return InvalidSpec(spec);
    }
    ref.reset(raw);
    if (err < 0) {
        EngineLog(TLogLevel::llError, "Device creation failed: " + std::to_string(err) + ".");
        return err;
    }
    return 0;
}

}  // namespace

int HWDeviceInitFromString(TJobGraph& graph, const std::string& spec)
{
    size_t k = spec.find_first_of(":=@,");
    const std::string typeName = spec.substr(0, k);
    const AVHWDeviceType type = ff().av_hwdevice_find_type_by_name(typeName.c_str());
    if (type == AV_HWDEVICE_TYPE_NONE) {
        EngineLog(TLogLevel::llError, "Invalid device specification \"" + spec + "\": unknown device type");
        return AVERROR(ENOSYS);
    }
    std::string name;
    if (const int ret = ReadDeviceName(graph, spec, type, k, name); ret < 0)
        return ret;
    TBufferRefPtr ref;
    if (const int ret = CreateDevice(graph, spec, type, k, ref); ret < 0)
        return ret;

    auto dev = std::make_unique<THWDevice>();
    dev->name = name;
    dev->type_ = type;
    dev->device_ref = std::move(ref);
    graph.Fhw_devices.push_back(std::move(dev));
    return 0;
}

int HWDeviceSetupForEncode(const TJobGraph& graph, TOutputStream& ost)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    AVBufferRef* frames = nullptr;
    if (ost.filter && ost.filter->filter) {
        frames = ff().av_buffersink_get_hw_frames_ctx(ost.filter->filter);
        if (frames && ost.filter->format != ff().av_buffersink_get_format(ost.filter->filter))
            frames = nullptr;
    }
    const THWDevice* device = nullptr;
    for (int i = 0;; ++i) {
        const AVCodecHWConfig* config = ff().avcodec_get_hw_config(ost.enc, i);
        if (!config)
            break;
        if (frames && (config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_FRAMES_CTX) &&
            (config->pix_fmt == AV_PIX_FMT_NONE || config->pix_fmt == enc->pix_fmt)) {
            EngineLog(TLogLevel::llVerbose, StrFormat("Using input frames context (format %s) with %s encoder.",
                                                      ff().av_get_pix_fmt_name(enc->pix_fmt), ost.enc->name));
            enc->hw_frames_ctx = ff().av_buffer_ref(frames);
            return enc->hw_frames_ctx ? 0 : AVERROR(ENOMEM);
        }
        if (!device && (config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX))
            device = graph.FindHWDeviceByType(config->device_type);
    }
    if (!device)
        return 0;
    EngineLog(TLogLevel::llVerbose, StrFormat("Using device %s (type %s) with %s encoder.", device->name.c_str(),
                                              ff().av_hwdevice_get_type_name(device->type_), ost.enc->name));
    enc->hw_device_ctx = ff().av_buffer_ref(device->device_ref.get());
    return enc->hw_device_ctx ? 0 : AVERROR(ENOMEM);
}

}  // namespace reelsmith
