#include "burn/burner_sdk.h"

#include <chrono>
#include <thread>

#include "burn/burn_library.h"
#include "burn/image_recorder.h"
#include "base/main_thread_dispatcher.h"

namespace reelsmith {

namespace {

// The library is process-wide state: one active component at a time.
std::atomic<bool> g_InstanceActive{false};

constexpr auto kWindDownPoll = std::chrono::milliseconds(5);

}  // namespace

TBurnerSDK::TBurnerSDK(TMainThreadDispatcher& dispatcher, TLibraryFactory factory)
    : m_Dispatcher(dispatcher), m_Factory(std::move(factory))
{
}

TBurnerSDK::~TBurnerSDK() { Deactivate(); }

void TBurnerSDK::RequireActive()
{
    if (FActive)
        return;
    FLastError = kNotActive;
    throw EBurnerSDK("internal module must be active for this function");
}

bool TBurnerSDK::Store(int result)
{
    FLastError = result;
    FLastErrorDevice.clear();
    if (result != 0 && m_Library)
        FLastErrorDevice = Devices(BurnDevice() > 0 && BurnDevice() <= FDeviceCount ? BurnDevice() : 0);
    return result == 0;
}

void TBurnerSDK::SetActive(bool active)
{
    if (active && !FActive)
        Activate();
    else if (!active && FActive)
        Deactivate();
}

void TBurnerSDK::Activate()
{
    if (g_InstanceActive.load())
        throw EBurnerSDK("Only one instance of internal module can be active at a time");
    std::unique_ptr<TBurnLibrary> library = m_Factory ? m_Factory() : std::make_unique<TBurnLibrary>();
    if (!library) {
        FLastError = kLibraryNotFound;
        return;
    }
    if (const int result = library->Initialize(); result != 0) {
        FLastError = result;
        m_FailedText = library->GetText(result);
        return;
    }
    bool expected = false;
    if (!g_InstanceActive.compare_exchange_strong(expected, true))
        throw EBurnerSDK("Only one instance of internal module can be active at a time");
    m_Library = std::move(library);
    FActive = true;
    FLastError = 0;
    m_Silenced = std::make_shared<std::atomic<bool>>(false);

    TJobEvents events;
    events.Process = [this](const TBurnProgress& p) {
        Forward([this, p] {
            if (OnProcess)
                OnProcess(p.Percent, p.DeviceBuffer, p.Cache, p.BytesWritten, p.ImageSize);
        });
    };
    events.Finalize = [this] {
        Forward([this] {
            if (OnFinalize)
                OnFinalize();
        });
    };
    events.BurnDone = [this](const std::string& error) {
        Forward([this, error] {
            if (OnBurnDone)
                OnBurnDone(error);
        });
    };
    events.EraseDone = [this](const std::string& error) {
        Forward([this, error] {
            if (OnEraseDone)
                OnEraseDone(error);
        });
    };
    m_Library->SetEvents(std::move(events));
    RefreshBurnDevices();
    CreateProject();
}

// Called on the job thread: the call runs on the main thread while this thread waits.
void TBurnerSDK::Forward(const std::function<void()>& call)
{
    const std::shared_ptr<std::atomic<bool>> silenced = m_Silenced;
    if (silenced->load())
        return;
    m_Dispatcher.RunAndWait([&] {
        if (!silenced->load())
            call();
    });
}

void TBurnerSDK::Deactivate()
{
    if (!FActive)
        return;
    // A running job is aborted; its remaining events are served as no-ops so that it can
    // end while this thread waits for it.
    m_Silenced->store(true);
    m_Library->Abort();
    while (m_Library->JobRunning()) {
        m_Dispatcher.ServePending();
        std::this_thread::sleep_for(kWindDownPoll);
    }
    m_Library->JoinFinishedJob();
    m_Library->DeInitialize();
    m_Library.reset();
    FActive = false;
    FDeviceCount = 0;
    FBurnDeviceCount = 0;
    g_InstanceActive.store(false);
}

bool TBurnerSDK::GetDevices()
{
    RequireActive();
    if (!Store(m_Library->RescanDevices()))
        return false;
    FDeviceCount = std::min(m_Library->DeviceCount(), kMaxDevices);
    for (int i = 0; i < kMaxDevices; ++i)
        FDevices[i] = i < FDeviceCount ? m_Library->DeviceText(i) : std::string();
    RefreshBurnDevices();
    return true;
}

bool TBurnerSDK::GetDeviceInfo(int index)
{
    RequireActive();
    if (index == 0) {
        for (int i = 1; i <= FDeviceCount; ++i)
            if (!GetDeviceInfo(i))
                return false;
        return true;
    }
    if (index < 1 || index > FDeviceCount)
        return false;
    FDeviceInfo[index - 1] = m_Library->DeviceInfo(index - 1);
    return true;
}

std::string TBurnerSDK::Devices(int index) const
{
    if (index < 1 || index > FDeviceCount)
        throw EBurnerSDK("Devices index out of bounds");
    return FDevices[index - 1];
}

TDeviceInfo TBurnerSDK::DeviceInfo(int index) const
{
    if (index < 1 || index > kMaxDevices)
        throw EBurnerSDK("DeviceInfo index out of bounds");
    return FDeviceInfo[index - 1];
}

bool TBurnerSDK::IsImageRecorder(int index) const { return m_Library && m_Library->IsImageRecorder(index - 1); }

void TBurnerSDK::RefreshBurnDevices()
{
    FBurnDeviceCount = 0;
    if (!m_Library)
        return;
    for (char letter : m_Library->BurnDeviceLetters())
        for (int i = 0; i < FDeviceCount; ++i)
            if (!FDevices[i].empty() && FDevices[i][0] == letter && FBurnDeviceCount < kMaxDevices)
                FBurnDevices[FBurnDeviceCount++] = i + 1;
}

int TBurnerSDK::BurnDevice() const { return FBurnDeviceCount > 0 ? FBurnDevices[0] : 0; }

void TBurnerSDK::SetBurnDevice(int index)
{
    if (index < 1 || index > kMaxDevices)
        throw EBurnerSDK("BurnDevice index out of bounds");
    RequireActive();
    if (Store(m_Library->SetBurnDevice(FDevices[index - 1])))
        RefreshBurnDevices();
}

bool TBurnerSDK::GetMediumInformation(int /*index*/)
{
    RequireActive();
    TMediumInfo info;
    const bool ok = Store(m_Library->GetMediumInformation(&info));
    FMediumInformation = ok ? info : TMediumInfo{};
    return ok;
}

int TBurnerSDK::BurnSpeed()
{
    RequireActive();
    int kbps = -1;
    return Store(m_Library->GetBurnSpeed(&kbps)) ? kbps : -1;
}

void TBurnerSDK::SetBurnSpeed(int kbps)
{
    RequireActive();
    Store(m_Library->SetBurnSpeed(kbps));
}

std::string TBurnerSDK::SpeedToText(int kbps)
{
    RequireActive();
    int multiplier = 0;
    if (m_Library->ConvertSpeedFromKBPerSec(kbps, &multiplier) != 0)
        return {};
    return std::to_string(multiplier) + "x";
}

void TBurnerSDK::SetImagePath(const std::string& path)
{
    RequireActive();
    m_Library->ImageRecorder().SetImagePath(path);
}

std::string TBurnerSDK::ImagePath() const { return m_Library ? m_Library->ImageRecorder().ImagePath() : std::string(); }

void TBurnerSDK::ClearAll()
{
    RequireActive();
    Store(m_Library->ClearAll());
}

void TBurnerSDK::SetProjectType(TProjectType type)
{
    if (type == FProjectType)
        return;
    FProjectType = type;
    if (FActive)
        CreateProject();
}

void TBurnerSDK::CreateProject()
{
    int result = 0;
    if (FProjectType == ptNone) {
        result = m_Library->DeleteProject();
    } else {
        result = m_Library->CreateProject(FProjectType);
        if (result != 0) {
            m_Library->DeleteProject();
            FProjectType = ptNone;
        }
    }
    m_Library->SetOptions(FOptions);
    m_Library->SetISOInfo(FISOInfo);
    Store(result);
}

void TBurnerSDK::SetOptions(const TBurningOptions& options)
{
    FOptions = options;
    if (FActive)
        m_Library->SetOptions(FOptions);
}

void TBurnerSDK::SetISOInfo(const TISOInfo& info)
{
    FISOInfo = info;
    if (FActive)
        m_Library->SetISOInfo(FISOInfo);
}

bool TBurnerSDK::AddFile(const std::string& sourceFilePath, const std::string& destinationPath,
                         const std::string& fileName, bool /*videoFile*/, bool /*savePath*/)
{
    RequireActive();
    return Store(m_Library->AddFile(sourceFilePath, destinationPath, fileName));
}

std::int64_t TBurnerSDK::DataProjectSize() { return ProjectSize().first; }

int TBurnerSDK::DataProjectCount() { return ProjectSize().second; }

std::pair<std::int64_t, int> TBurnerSDK::ProjectSize()
{
    RequireActive();
    std::int64_t bytes = 0;
    int files = 0;
    m_Library->GetProjectSize(&bytes, &files);
    return {bytes, files};
}

void TBurnerSDK::Prepare()
{
    RequireActive();
    Store(m_Library->Prepare());
}

void TBurnerSDK::Burn()
{
    RequireActive();
    Store(m_Library->Burn());
}

void TBurnerSDK::Abort()
{
    RequireActive();
    Store(m_Library->Abort());
}

void TBurnerSDK::Erase(bool fast, bool ejectAfterErase)
{
    RequireActive();
    Store(m_Library->Erase(fast, ejectAfterErase));
}

std::string TBurnerSDK::LastErrorText() const
{
    switch (FLastError) {
    case 0: return {};
    case kNotActive: return "SDK DLL is not initialized";
    case kLibraryNotFound: return "SDK DLL file not found";
    case kLibraryIncomplete: return "Structure error in SDK DLL: functions not found";
    default: return m_Library ? m_Library->GetText(FLastError) : m_FailedText;
    }
}

}  // namespace reelsmith
