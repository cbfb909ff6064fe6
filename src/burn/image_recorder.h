#pragma once
// The image recorder: writes the disc as an ISO image file through libburn's stdio: drive.
// Its "medium" is always a writable blank whose free size is the free space of the image's
// folder. The image is written under a hidden temporary name beside its final name and
// renamed only when the burn completed, so a failed or aborted burn leaves no image.
#include "burn/recorder.h"

namespace burn {
struct burn_drive_info;
}

namespace reelsmith {

class TImageRecorder : public TRecorder {
public:
    explicit TImageRecorder(char letter);
    ~TImageRecorder() override;

    // The image file that a burn writes and an erase empties.
    void SetImagePath(const std::string& path) { m_ImagePath = path; }
    const std::string& ImagePath() const { return m_ImagePath; }
    std::string Folder() const;

    std::string Text() const override;
    TDeviceInfo Info() const override;
    bool IsImageRecorder() const override { return true; }
    std::string QueryMedium(TMediumInfo* info) override;
    double SpeedUnit() const override;
    std::vector<int> Speeds() const override;
    burn::burn_drive* OpenForWriting(std::string* error) override;
    std::string CloseAfterWriting(bool complete, bool eject) override;
    std::string CheckRoom(std::int64_t bytes) override;
    std::string CheckWritten(std::int64_t bytes) override;
    bool ErasesItself() const override { return true; }
    std::string EraseItself() override;

private:
    void Release();

    char m_Letter;
    std::string m_ImagePath;
    std::string m_TempPath;
    burn::burn_drive_info* m_Drive = nullptr;
};

}  // namespace reelsmith
