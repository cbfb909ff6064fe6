#include "burn/optical_drive.h"

#include <libburn/libburn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "burn/burn_handles.h"
#include "burn/burn_runtime.h"

using namespace burn;  // libburn declares its C API in this namespace for C++

namespace reelsmith {

namespace {

struct TProfile {
    int Code;
    TMediumTypeCode Type;
    double SpeedUnit;
};

// libburn's MMC profile numbers as the layer's medium codes, with the KB/s of "1x".
constexpr TProfile kProfiles[] = {
    {0x08, mtcCD_ROM, 176.4},       {0x09, mtcCD_R, 176.4},       {0x0a, mtcCD_RW, 176.4},
    {0x10, mtcDVD_ROM, 1385},       {0x11, mtcDVD_R, 1385},       {0x12, mtcDVD_RAM, 1385},
    {0x13, mtcDVD_RW_RO, 1385},     {0x14, mtcDVD_RW_SR, 1385},   {0x15, mtcDVD_R_DL, 1385},
    {0x16, mtcDVD_R_DL, 1385},      {0x1a, mtcDVD_PLUS_RW, 1385}, {0x1b, mtcDVD_PLUS_R, 1385},
    {0x2b, mtcDVD_PLUS_R_DL, 1385}, {0x40, mtcBD_ROM, 4495.5},    {0x41, mtcBD_R, 4495.5},
    {0x42, mtcBD_R, 4495.5},        {0x43, mtcBD_RE, 4495.5},
};

void WaitIdle(burn_drive* drive)
{
    while (burn_drive_get_status(drive, nullptr) != BURN_DRIVE_IDLE)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace

TOpticalDrive::TOpticalDrive(char letter, std::string address, TDeviceInfo info)
    : m_Letter(letter), m_Address(std::move(address)), m_Info(std::move(info))
{
    for (int step : {16, 12, 8, 4, 2})
        m_Speeds.push_back(static_cast<int>(step * m_SpeedUnit));
}

TOpticalDrive::~TOpticalDrive() { Release(false); }

std::string TOpticalDrive::Text() const
{
    return std::string(1, m_Letter) + ": " + m_Info.VendorID + " " + m_Info.ProductID + " (" + m_Address + ")";
}

burn_drive* TOpticalDrive::Grab(std::string* error)
{
    TBurnRuntime::DropRecorderMessages();
    if (burn_drive_scan_and_grab(&m_Drive, m_Address.data(), 1) != 1) {
        m_Drive = nullptr;
        *error = TBurnRuntime::TakeRecorderError();
        if (error->empty())
            *error = "Cannot open the drive " + m_Address;
        return nullptr;
    }
    WaitIdle(m_Drive->drive);
    return m_Drive->drive;
}

void TOpticalDrive::Release(bool eject)
{
    if (!m_Drive)
        return;
    burn_drive_release(m_Drive->drive, eject ? 1 : 0);
    burn_drive_info_free(m_Drive);
    m_Drive = nullptr;
}

std::string TOpticalDrive::QueryMedium(TMediumInfo* info)
{
    std::string error;
    burn_drive* drive = Grab(&error);
    if (!drive)
        return error;
    *info = {};
    const burn_disc_status status = burn_disc_get_status(drive);
    if (status != BURN_DISC_EMPTY && status != BURN_DISC_UNREADY && status != BURN_DISC_UNSUITABLE) {
        int profile = 0;
        char name[80] = {};
        burn_disc_get_profile(drive, &profile, name);
        info->MediumType = name;
        for (const TProfile& known : kProfiles)
            if (known.Code == profile) {
                info->MediumTypeCode = known.Type;
                m_SpeedUnit = known.SpeedUnit;
            }
        info->MediumStatus = status;
        m_Free = burn_disc_available_space(drive, nullptr);
        info->MediumFreeSize = static_cast<double>(m_Free);
        info->MediumSize = info->MediumFreeSize;
        m_Speeds.clear();
        burn_speed_descriptor* list = nullptr;
        if (burn_drive_get_speedlist(drive, &list) == 1) {
            const TBurnSpeedListPtr owned(list);
            for (burn_speed_descriptor* s = list; s; s = s->next)
                if (s->source == 2 && s->write_speed > 0)
                    m_Speeds.push_back(s->write_speed);
        }
        if (m_Speeds.empty())
            m_Speeds.push_back(std::max(1, burn_drive_get_write_speed(drive)));
        std::sort(m_Speeds.rbegin(), m_Speeds.rend());
        m_Speeds.erase(std::unique(m_Speeds.begin(), m_Speeds.end()), m_Speeds.end());
    }
    Release(false);
    return {};
}

burn_drive* TOpticalDrive::OpenForWriting(std::string* error) { return Grab(error); }

std::string TOpticalDrive::CloseAfterWriting(bool /*complete*/, bool eject)
{
    Release(eject);
    return {};
}

std::string TOpticalDrive::CheckRoom(std::int64_t bytes)
{
    if (m_Free > 0 && bytes > m_Free)
        return "The disc is too small: " + std::to_string(bytes / 1048576) + " MB needed, " +
               std::to_string(m_Free / 1048576) + " MB free";
    return {};
}

}  // namespace reelsmith
