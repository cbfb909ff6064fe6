#pragma once
// Records and enumerations shared by the burning layer, TBurnerSDK and the burn windows.
#include <cstdint>
#include <initializer_list>
#include <string>

namespace reelsmith {

enum TMediumTypeCode {
    mtcUnknown = 0,  // no disc
    mtcCD_ROM,
    mtcCD_R,
    mtcCD_RW,
    mtcDVD_ROM,
    mtcDVD_R,
    mtcDVD_RAM,
    mtcDVD_RW_RO,
    mtcDVD_RW,
    mtcDVD_RW_SR,
    mtcDVD_PLUS_RW,
    mtcDVD_PLUS_R,
    mtcDVD_PLUS_R_DL,
    mtcDVD_R_DL,
    mtcBD_ROM,
    mtcBD_R,
    mtcBD_RE,
    mtcImageFile,  // the image recorder's file "disc"
};

struct TMediumInfo {
    std::string MediumType;
    int MediumStatus = 0;
    double MediumSize = 0;
    double MediumUsedSize = 0;
    double MediumFreeSize = 0;
    int FirstSession = 0;
    int LastSession = 0;
    int FirstTrack = 0;
    int LastTrack = 0;
    int LastSessionStatus = 0;
    TMediumTypeCode MediumTypeCode = mtcUnknown;
    int ExtendedMediumType = 0;
    std::string UPCEANCode;
};

struct TDeviceInfo {
    std::string VendorID;
    std::string ProductID;
    std::string ProductRevision;
    std::string Name;  // the device address ("/dev/sr0", or the image recorder's folder)
};

enum TProjectType {
    ptAudio,
    ptCue,
    ptData,
    ptVCD,
    ptSVCD,
    ptVideoDVD,
    ptUDFDVD,
    ptISOUDF,
    ptBluray,
    ptMixedMode,
    ptRaw,
    ptNone
};

enum TBurningOptionSwitch {
    osJolietFileSystem,
    osBootable,
    osFinalize,
    osTestBurn,
    osPerformOPC,
    osVerifyAfterBurn,
    osUnderrunProtection,
    osEjectAfterBurn,
    osAutoErase,
    osRockRidgeFileSystem,
    osPadDataTracks,
};

enum TWriteMethod { wmTAO, wmDAO, wmDAO96, wmDefault };

// A set of TBurningOptionSwitch, one bit per switch in their order.
class TSwitches {
public:
    TSwitches() = default;
    TSwitches(std::initializer_list<TBurningOptionSwitch> on)
    {
        for (TBurningOptionSwitch s : on)
            Set(s, true);
    }
    bool Has(TBurningOptionSwitch s) const { return (m_Bits >> s) & 1U; }
    void Set(TBurningOptionSwitch s, bool on) { m_Bits = on ? m_Bits | (1U << s) : m_Bits & ~(1U << s); }
    bool operator==(const TSwitches&) const = default;

private:
    std::uint32_t m_Bits = 0;
};

struct TBurningOptions {
    std::string VolumeLabel;
    TWriteMethod WriteMethod = wmDefault;
    TSwitches Switches{osJolietFileSystem, osUnderrunProtection, osEjectAfterBurn};
    std::string BootImage;
    std::int64_t CacheSize = 0;
    int Copies = 0;
};

enum TISOLevel { ilLevel1, ilLevel2, ilLevel3 };

struct TISOInfo {
    std::string ApplicationIdentifier;
    TISOLevel Level = ilLevel1;
};

// The progress of a running burn, as the layer reports it from its job thread.
struct TBurnProgress {
    float Percent = 0;
    float DeviceBuffer = 0;
    float Cache = 0;
    double BytesWritten = 0;
    double ImageSize = 0;
};

}  // namespace reelsmith
