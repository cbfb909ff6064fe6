#pragma once
// TBurnerSDK: the component that owns the burning library for one window. It activates the
// library, keeps the device table and the last medium information, turns error codes into
// texts and carries the library's job events to the main thread through the dispatcher, so
// handlers run there, one at a time, while the job thread waits for each to return.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "burn/burn_types.h"

namespace reelsmith {

class TBurnLibrary;
class TMainThreadDispatcher;

class EBurnerSDK : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TInfoTextLevel { ilInfo, ilLowDebug, ilMediumDebug, ilHighDebug };

class TBurnerSDK {
public:
    static constexpr int kMaxDevices = 26;
    static constexpr int kNotActive = 4096;
    static constexpr int kLibraryNotFound = 4097;
    static constexpr int kLibraryIncomplete = 4098;

    // Makes the library on activation; a factory that returns null stands for a library
    // that cannot be found.
    using TLibraryFactory = std::function<std::unique_ptr<TBurnLibrary>()>;

    explicit TBurnerSDK(TMainThreadDispatcher& dispatcher, TLibraryFactory factory = {});
    ~TBurnerSDK();
    TBurnerSDK(const TBurnerSDK&) = delete;
    TBurnerSDK& operator=(const TBurnerSDK&) = delete;

    bool Active() const { return FActive; }
    void SetActive(bool active);

    bool GetDevices();
    bool GetDeviceInfo(int index);
    std::string Devices(int index) const;
    TDeviceInfo DeviceInfo(int index) const;
    int DeviceCount() const { return FDeviceCount; }
    bool IsImageRecorder(int index) const;

    int BurnDevice() const;
    void SetBurnDevice(int index);
    bool GetMediumInformation(int index);
    const TMediumInfo& MediumInformation() const { return FMediumInformation; }

    int BurnSpeed();
    void SetBurnSpeed(int kbps);
    std::string SpeedToText(int kbps);

    // The image file the image recorder writes and erases.
    void SetImagePath(const std::string& path);
    std::string ImagePath() const;

    void ClearAll();
    TProjectType ProjectType() const { return FProjectType; }
    void SetProjectType(TProjectType type);
    const TBurningOptions& Options() const { return FOptions; }
    void SetOptions(const TBurningOptions& options);
    const TISOInfo& ISOInfo() const { return FISOInfo; }
    void SetISOInfo(const TISOInfo& info);

    bool AddFile(const std::string& sourceFilePath, const std::string& destinationPath, const std::string& fileName,
                 bool videoFile = false, bool savePath = false);
    std::int64_t DataProjectSize();
    int DataProjectCount();

    void Prepare();
    void Burn();
    void Abort();
    void Erase(bool fast, bool ejectAfterErase);

    int LastError() const { return FLastError; }
    std::string LastErrorText() const;
    const std::string& LastErrorDevice() const { return FLastErrorDevice; }

    // Job events, always on the main thread.
    std::function<void(float percent, float deviceBuffer, float cache, double bytesWritten, double imageSize)>
        OnProcess;
    std::function<void()> OnFinalize;
    std::function<void(const std::string& error)> OnBurnDone;
    std::function<void(const std::string& error)> OnEraseDone;

private:
    void RequireActive();
    // The data project's bytes and files.
    std::pair<std::int64_t, int> ProjectSize();
    void Activate();
    void Deactivate();
    bool Store(int result);
    void CreateProject();
    void RefreshBurnDevices();
    void Forward(const std::function<void()>& call);

    TMainThreadDispatcher& m_Dispatcher;
    TLibraryFactory m_Factory;
    std::unique_ptr<TBurnLibrary> m_Library;

    int FLastError = 0;
    std::string FLastErrorDevice;
    bool FActive = false;
    std::array<std::string, kMaxDevices> FDevices;
    std::array<TDeviceInfo, kMaxDevices> FDeviceInfo;
    int FDeviceCount = 0;
    std::array<int, kMaxDevices> FBurnDevices{};
    int FBurnDeviceCount = 0;
    TMediumInfo FMediumInformation;
    TProjectType FProjectType = ptNone;
    TBurningOptions FOptions;
    TISOInfo FISOInfo;
    // Set while the component winds down: late events are dropped, not delivered.
    std::string m_FailedText;  // why the last activation failed
    std::shared_ptr<std::atomic<bool>> m_Silenced = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace reelsmith
