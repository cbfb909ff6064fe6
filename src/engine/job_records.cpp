#include "engine/job_records.h"

namespace reelsmith {

THWDevice* TJobGraph::FindHWDevice(const std::string& name) const
{
    for (const auto& dev : Fhw_devices)
        if (dev->name == name)
            return dev.get();
    return nullptr;
}

THWDevice* TJobGraph::FindHWDeviceByType(AVHWDeviceType type) const
{
    THWDevice* found = nullptr;
    for (const auto& dev : Fhw_devices)
        if (dev->type_ == type)
            found = dev.get();
    return found;
}

void TJobGraph::Clear()
{
    Ffiltergraphs.clear();
    // The pass-2 statistics belong to the caller of the encoder, not to the library.
    for (auto& ost : Foutput_streams)
        if (ost && ost->enc_ctx)
            ff().av_freep(&ost->enc_ctx->stats_in);
    Foutput_streams.clear();
    Foutput_files.clear();
    Finput_streams.clear();
    Finput_files.clear();
    Ffilter_hw_device = nullptr;
    Fhw_devices.clear();
}

}  // namespace reelsmith
