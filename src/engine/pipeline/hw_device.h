#pragma once
// Hardware devices from text: "type[=name][:device[,key=value...]]" or "type[=name]@source".

#include <string>

#include "engine/job_records.h"

namespace reelsmith {

// Creates the device and adds it to the graph's devices. 0 or a negative code.
int HWDeviceInitFromString(TJobGraph& graph, const std::string& spec);

// Gives an encoder that can use one the hardware frames its graph delivers, else a device of
// the graph that it can work on; nothing when it needs neither. 0 or a negative code.
int HWDeviceSetupForEncode(const TJobGraph& graph, TOutputStream& ost);

}  // namespace reelsmith
