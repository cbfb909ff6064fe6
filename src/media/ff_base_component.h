#pragma once
// The base of the media components (decoder, encoder): their library set and the
// load contract shared by both.

#include <string>

#include "media/ffmpeg_loader.h"

namespace reelsmith {

class TFFBaseComponent {
public:
    explicit TFFBaseComponent(TLibraries libraries) : FLibraries(libraries) {}
    virtual ~TFFBaseComponent() = default;

    // Sets the loader's LibraryPath to APath and loads the component's set; on failure the
    // loader's message is copied into LastErrMsg.
    bool LoadAVLib(const std::string& APath);
    bool AVLibLoaded() const;
    // Masks every floating-point exception of the process; only the first call acts.
    static void DisableFPUExceptions();

    const std::string& LastErrMsg() const { return FLastErrMsg; }
    TLibraries Libraries() const { return FLibraries; }

protected:
    // Called after a successful LoadAVLib (the decoder resets its options here).
    virtual void AVLibLoadedNow() {}
    void SetLastErrMsg(std::string message) { FLastErrMsg = std::move(message); }

private:
    TLibraries FLibraries;
    std::string FLastErrMsg;
};

}  // namespace reelsmith
