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
    if (k != std::string::npos && spec[k] == '=') {
        const size_t end = spec.find_first_of(":@,", k + 1);
        name = spec.substr(k + 1, end == std::string::npos ? std::string::npos : end - k - 1);
        if (name.empty())
            return InvalidSpec(spec);
        if (graph.FindHWDevice(name)) {
            EngineLog(TLogLevel::llError, "Invalid device specification \"" + spec + "\": named device already exists");
            return AVERROR(EEXIST);
        }
        k = end;
    } else {
        name = DefaultName(graph, type);
    }

    AVBufferRef* ref = nullptr;
    int err = 0;
    if (k == std::string::npos) {
        err = ff().av_hwdevice_ctx_create(&ref, type, nullptr, nullptr, 0);
    } else if (spec[k] == ':' || spec[k] == ',') {
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
        err = ff().av_hwdevice_ctx_create(&ref, type, device.empty() ? nullptr : device.c_str(), options.get(), 0);
    } else if (spec[k] == '@') {
        const THWDevice* source = graph.FindHWDevice(spec.substr(k + 1));
        if (!source) {
            EngineLog(TLogLevel::llError, "Invalid device specification \"" + spec + "\": unknown source device");
            return AVERROR(EINVAL);
        }
        err = ff().av_hwdevice_ctx_create_derived(&ref, type, source->device_ref.get(), 0);
    } else {
        return InvalidSpec(spec);
    }
    if (err < 0) {
        EngineLog(TLogLevel::llError, "Device creation failed: " + std::to_string(err) + ".");
        return err;
    }

    auto dev = std::make_unique<THWDevice>();
    dev->name = name;
    dev->type_ = type;
    dev->device_ref.reset(ref);
    graph.Fhw_devices.push_back(std::move(dev));
    return 0;
}

}  // namespace reelsmith
