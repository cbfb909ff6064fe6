#include "media/ff_base_component.h"

#include <atomic>
#include <cfenv>

namespace reelsmith {

bool TFFBaseComponent::LoadAVLib(const std::string& APath)
{
    TFFLoader& loader = FFLoader();
    loader.SetLibraryPath(APath);
    if (!loader.Load(FLibraries)) {
        FLastErrMsg = loader.LastErrMsg();
        return false;
    }
    AVLibLoadedNow();
    return true;
}

bool TFFBaseComponent::AVLibLoaded() const { return FFLoader().Loaded(FLibraries); }

void TFFBaseComponent::DisableFPUExceptions()
{
    static std::atomic<int> calls{0};
    if (calls.fetch_add(1) == 0)
        fedisableexcept(FE_ALL_EXCEPT);
}

}  // namespace reelsmith
