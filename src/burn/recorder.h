#pragma once
// One device of the layer: an optical drive that libburn found, or the image recorder.
// Both write through a libburn drive; the medium, speeds and erasing differ.
#include <cstdint>
#include <string>
#include <vector>

#include "burn/burn_types.h"

namespace burn {
struct burn_drive;
}

namespace reelsmith {

class TRecorder {
public:
    virtual ~TRecorder() = default;

    // The device entry: the first character is the device's letter.
    virtual std::string Text() const = 0;
    virtual TDeviceInfo Info() const = 0;
    virtual bool IsImageRecorder() const { return false; }

    // Fills info; empty on success, else why the medium cannot be read.
    virtual std::string QueryMedium(TMediumInfo* info) = 0;
    // KB/s of one "1x" step of the current medium (1385 for DVD).
    virtual double SpeedUnit() const = 0;
    // Supported write speeds in KB/s, fastest first; never empty.
    virtual std::vector<int> Speeds() const = 0;

    // Writing: Open hands out a grabbed libburn drive (null with error set). Close releases
    // it; only when complete is true does the written result stand (the image recorder
    // renames its temporary file then and removes it otherwise).
    virtual burn::burn_drive* OpenForWriting(std::string* error) = 0;
    virtual std::string CloseAfterWriting(bool complete, bool eject) = 0;
    // After a write that libburn reports as good: empty when all `bytes` arrived.
    virtual std::string CheckWritten(std::int64_t /*bytes*/) { return {}; }
    // Room for an image of `bytes` on the medium; empty when it fits, else why not.
    virtual std::string CheckRoom(std::int64_t bytes) = 0;

    // Erasing runs on the job thread: the image recorder empties its file itself; a drive
    // returns its grabbed libburn drive for burn_disc_erase (null with error set).
    virtual bool ErasesItself() const = 0;
    virtual std::string EraseItself() { return "Not supported"; }
    virtual burn::burn_drive* OpenForErasing(std::string* error) { return OpenForWriting(error); }
    virtual void CloseAfterErasing(bool eject) { CloseAfterWriting(true, eject); }
};

}  // namespace reelsmith
