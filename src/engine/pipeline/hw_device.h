#pragma once
// Hardware devices from text: "type[=name][:device[,key=value...]]" or "type[=name]@source".

#include <string>

#include "engine/job_records.h"

namespace reelsmith {

// Creates the device and adds it to the graph's devices. 0 or a negative code.
int HWDeviceInitFromString(TJobGraph& graph, const std::string& spec);

}  // namespace reelsmith
