#pragma once
// The burning library: devices, the data project, burning and erasing, on libburn and
// libisofs. Every operation returns 0 or an error code that GetText turns into text.
// Burn and Erase start a job and return; the job's events are called on the job's own
// thread, and each started job ends with exactly one burn-done or erase-done event.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "burn/burn_handles.h"
#include "burn/burn_types.h"
#include "burn/cancel_signal.h"

namespace burn {
struct burn_disc;
struct burn_drive;
struct burn_write_opts;
}  // namespace burn

namespace reelsmith {

class TBurnRuntime;
class TDataProject;
class TImageRecorder;
class TRecorder;
class TWriteStream;

struct TJobEvents {
    std::function<void(const TBurnProgress&)> Process;
    std::function<void()> Finalize;
    std::function<void(const std::string& error)> BurnDone;
    std::function<void(const std::string& error)> EraseDone;
};

// The layer's own error codes; texts of the ones marked "detail" carry the cause.
enum TBurnError {
    beNone = 0,
    beNotInitialized = 1,
    beNoDevice,
    beUnknownDevice,
    beNoProject,
    beBusy,
    beMedium,   // detail
    beAddFile,  // detail
    bePrepare,  // detail
    beStart,    // detail
    beNoSpeed,
    beInit,  // detail
};

class TBurnLibrary {
public:
    TBurnLibrary();
    ~TBurnLibrary();
    TBurnLibrary(const TBurnLibrary&) = delete;
    TBurnLibrary& operator=(const TBurnLibrary&) = delete;

    int Initialize();
    void DeInitialize();
    bool Initialized() const { return m_Runtime != nullptr; }
    void SetEvents(TJobEvents events) { m_Events = std::move(events); }
    // Tests hold libburn's writer at a chosen place of the image with it; set it between jobs.
    void SetImageReadHook(TImageReadHook hook) { m_ReadHook = std::move(hook); }

    // Devices: the optical drives libburn finds, then the image recorder.
    int RescanDevices();
    int DeviceCount() const { return static_cast<int>(m_Devices.size()); }
    std::string DeviceText(int index) const;  // 0-based
    TDeviceInfo DeviceInfo(int index) const;
    bool IsImageRecorder(int index) const;
    TImageRecorder& ImageRecorder() { return *m_Image; }

    int SetBurnDevice(const std::string& deviceText);
    // Letters of the devices chosen for burning.
    std::string BurnDeviceLetters() const;
    int GetMediumInformation(TMediumInfo* info);
    int SetBurnSpeed(int kbps);  // -1: the fastest
    int GetBurnSpeed(int* kbps) const;
    int ConvertSpeedFromKBPerSec(int kbps, int* multiplier) const;

    int ClearAll();
    int CreateProject(TProjectType type);
    int DeleteProject();
    int SetOptions(const TBurningOptions& options);
    int SetISOInfo(const TISOInfo& info);
    int AddFile(const std::string& sourcePath, const std::string& destinationFolder, const std::string& name);
    int GetProjectSize(std::int64_t* bytes, int* files) const;

    int Prepare();
    int Burn();
    // Effective at any point of a running burn: the job ends with an error, raises no
    // finalize after this call, and keeps no image. Any thread.
    int Abort();
    int Erase(bool fast, bool eject);
    // True from a started job until its done event has returned.
    bool JobRunning() const { return m_JobRunning.load(); }
    // Joins the job thread once JobRunning() is false.
    void JoinFinishedJob();

    std::string GetText(int code) const;

private:
    int Fail(TBurnError code, const std::string& detail = {});
    // beNotInitialized, beBusy while a job runs, beNoDevice (when one is needed), else beNone.
    int Readiness(bool needsDevice) const;
    TRecorder* Current() const;
    void FreeStream();
    // Applies a change to the project or its settings unless a job runs; the prepared image goes.
    int ChangeProject(const std::function<void()>& change);
    void RunBurn(TRecorder* recorder, burn::burn_drive* drive, TImageStreamPtr stream, bool eject);
    void RunErase(TRecorder* recorder, burn::burn_drive* drive, bool fast, bool eject);
    std::string WriteDisc(burn::burn_drive* drive, burn_source* stream, bool imageFile, bool* finalized);
    bool StartWriting(burn::burn_write_opts* opts, burn::burn_disc* disc, const TWriteStream& stream,
                      std::string* error);
    void StartJob(std::function<void()> job);

    std::unique_ptr<TBurnRuntime> m_Runtime;
    std::vector<std::unique_ptr<TRecorder>> m_Devices;
    TImageRecorder* m_Image = nullptr;
    int m_Current = -1;
    int m_Speed = -1;
    std::unique_ptr<TDataProject> m_Project;
    TBurningOptions m_Options;
    TISOInfo m_ISOInfo;
    TImageStreamPtr m_Stream;  // the prepared image
    std::map<int, std::string> m_Details;
    TJobEvents m_Events;
    std::thread m_Job;
    std::atomic<bool> m_JobRunning{false};
    TCancelSignal m_Cancel;
    TImageReadHook m_ReadHook;
};

}  // namespace reelsmith
