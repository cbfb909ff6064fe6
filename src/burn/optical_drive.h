#pragma once
// A real optical drive as libburn lists it. Each use grabs the drive and releases it again,
// so the drive stays free for other programs between operations. Access to the device files
// needs the user in the "cdrom" group.
#include "burn/recorder.h"

namespace burn {
struct burn_drive_info;
}

namespace reelsmith {

class TOpticalDrive : public TRecorder {
public:
    TOpticalDrive(char letter, std::string address, TDeviceInfo info);
    ~TOpticalDrive() override;

    std::string Text() const override;
    TDeviceInfo Info() const override { return m_Info; }
    std::string QueryMedium(TMediumInfo* info) override;
    double SpeedUnit() const override { return m_SpeedUnit; }
    std::vector<int> Speeds() const override { return m_Speeds; }
    burn::burn_drive* OpenForWriting(std::string* error) override;
    std::string CloseAfterWriting(bool complete, bool eject) override;
    std::string CheckRoom(std::int64_t bytes) override;
    bool ErasesItself() const override { return false; }

private:
    burn::burn_drive* Grab(std::string* error);
    void Release(bool eject);

    char m_Letter;
    std::string m_Address;
    TDeviceInfo m_Info;
    burn::burn_drive_info* m_Drive = nullptr;
    double m_SpeedUnit = 1385;
    std::vector<int> m_Speeds;
    std::int64_t m_Free = 0;
};

}  // namespace reelsmith
