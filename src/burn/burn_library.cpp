#include "burn/burn_library.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "burn/burn_runtime.h"
#include "burn/data_project.h"
#include "burn/image_recorder.h"
#include "burn/optical_drive.h"
#include "burn/write_stream.h"

using namespace burn;  // libburn declares its C API in this namespace for C++

namespace reelsmith {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);
// Once aborted, the writer stops at its next read: look for the drive's idle state often.
constexpr auto kAbortPollInterval = std::chrono::milliseconds(5);
// A write refused because libburn's previous writer has not let go of the drive yet.
constexpr auto kRefusedRetryInterval = std::chrono::milliseconds(20);
constexpr auto kRefusedRetryLimit = std::chrono::seconds(10);
constexpr char kFirstDriveLetter = 'D';
constexpr char kImageRecorderLetter = 'Z';
constexpr std::int64_t kSector = 2048;
constexpr char kAborted[] = "Burning was aborted by the user";

const char* FixedText(int code)
{
    switch (code) {
    case beNotInitialized: return "The burning library is not initialized";
    case beNoDevice: return "No recorder is chosen";
    case beUnknownDevice: return "Unknown recorder";
    case beNoProject: return "There is no data project";
    case beBusy: return "The recorder is busy";
    case beNoSpeed: return "The speed cannot be converted";
    default: return "";
    }
}

// The libburn records of one write; members are freed in reverse order, as libburn wants:
// options, disc, session, track.
struct TWriteRecords {
    TBurnTrackPtr Track;
    TBurnSessionPtr Session;
    TBurnDiscPtr Disc;
    TBurnWriteOptsPtr Opts;
};

// A disc of one data track read from source, and the write options for drive; empty or why not.
std::string MakeWriteRecords(TWriteRecords& records, burn_drive* drive, burn::burn_source* source,
                             const TBurningOptions& options, bool imageFile)
{
    records.Disc.reset(burn_disc_create());
    records.Session.reset(burn_session_create());
    records.Track.reset(burn_track_create());
    if (!records.Disc || !records.Session || !records.Track)
        return "Out of memory";
    burn_track_define_data(records.Track.get(), 0, 0, 1, BURN_MODE1);
    if (burn_track_set_source(records.Track.get(), source) != BURN_SOURCE_OK)
        return "The image cannot be read";
    burn_session_add_track(records.Session.get(), records.Track.get(), BURN_POS_END);
    burn_disc_add_session(records.Disc.get(), records.Session.get(), BURN_POS_END);

    records.Opts.reset(burn_write_opts_new(drive));
    burn_write_opts* opts = records.Opts.get();
    burn_write_opts_set_perform_opc(opts, options.Switches.Has(osPerformOPC) ? 1 : 0);
    // An image file holds one closed session; only a disc can be left open for more.
    burn_write_opts_set_multi(opts, options.Switches.Has(osFinalize) || imageFile ? 0 : 1);
    burn_write_opts_set_underrun_proof(opts, options.Switches.Has(osUnderrunProtection) ? 1 : 0);
    burn_write_opts_set_simulate(opts, options.Switches.Has(osTestBurn) ? 1 : 0);
    char reasons[BURN_REASONS_LEN] = {};
    if (burn_write_opts_auto_write_type(opts, records.Disc.get(), reasons, 0) == BURN_WRITE_NONE)
        return std::string("The medium cannot be written: ") + reasons;
    return {};
}

}  // namespace

TBurnLibrary::TBurnLibrary() = default;

TBurnLibrary::~TBurnLibrary() { DeInitialize(); }

int TBurnLibrary::Fail(TBurnError code, const std::string& detail)
{
    if (!detail.empty())
        m_Details[code] = detail;
    return code;
}

int TBurnLibrary::Readiness(bool needsDevice) const
{
    if (!m_Runtime)
        return beNotInitialized;
    if (JobRunning())
        return beBusy;
    if (needsDevice && !Current())
        return beNoDevice;
    return beNone;
}

int TBurnLibrary::Initialize()
{
    if (m_Runtime)
        return beNone;
    auto runtime = std::make_unique<TBurnRuntime>();
    if (!runtime->Ok())
        return Fail(beInit, runtime->Error());
    m_Runtime = std::move(runtime);
    auto image = std::make_unique<TImageRecorder>(kImageRecorderLetter);
    m_Image = image.get();
    m_Devices.push_back(std::move(image));
    return beNone;
}

void TBurnLibrary::DeInitialize()
{
    if (!m_Runtime)
        return;
    m_Cancel.Request();
    if (m_Job.joinable())
        m_Job.join();
    FreeStream();
    m_Project.reset();
    m_Devices.clear();
    m_Image = nullptr;
    m_Current = -1;
    m_Runtime.reset();
}

int TBurnLibrary::RescanDevices()
{
    if (const int state = Readiness(false); state != beNone)
        return state;
    const std::string current = Current() ? Current()->Text() : std::string();
    std::vector<std::unique_ptr<TRecorder>> devices;
    burn_drive_info* found = nullptr;
    unsigned int count = 0;
    TBurnRuntime::DropLibraryMessages();
    // The scan runs on libburn's own worker: 0 means "not finished yet, ask again".
    int scanned = 0;
    while ((scanned = burn_drive_scan(&found, &count)) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (scanned == 1) {
        const TBurnDriveListPtr owned(found);
        for (unsigned int i = 0; i < count && kFirstDriveLetter + i < kImageRecorderLetter; ++i) {
            char address[BURN_DRIVE_ADR_LEN] = {};
            if (burn_drive_get_adr(&found[i], address) != 1)
                continue;
            TDeviceInfo info;
            info.VendorID = found[i].vendor;
            info.ProductID = found[i].product;
            info.ProductRevision = found[i].revision;
            info.Name = address;
            devices.push_back(
                std::make_unique<TOpticalDrive>(static_cast<char>(kFirstDriveLetter + devices.size()), address, info));
        }
    }
    for (auto& device : m_Devices)
        if (device->IsImageRecorder())
            devices.push_back(std::move(device));
    m_Devices = std::move(devices);
    m_Current = -1;
    for (int i = 0; i < DeviceCount(); ++i)
        if (m_Devices[i]->Text() == current)
            m_Current = i;
    return beNone;
}

std::string TBurnLibrary::DeviceText(int index) const
{
    return index >= 0 && index < DeviceCount() ? m_Devices[index]->Text() : std::string();
}

TDeviceInfo TBurnLibrary::DeviceInfo(int index) const
{
    return index >= 0 && index < DeviceCount() ? m_Devices[index]->Info() : TDeviceInfo{};
}

bool TBurnLibrary::IsImageRecorder(int index) const
{
    return index >= 0 && index < DeviceCount() && m_Devices[index]->IsImageRecorder();
}

TRecorder* TBurnLibrary::Current() const
{
    return m_Current >= 0 && m_Current < DeviceCount() ? m_Devices[m_Current].get() : nullptr;
}

int TBurnLibrary::SetBurnDevice(const std::string& deviceText)
{
    if (const int state = Readiness(false); state != beNone)
        return state;
    for (int i = 0; i < DeviceCount(); ++i)
        if (m_Devices[i]->Text() == deviceText) {
            if (i != m_Current)
                FreeStream();
            m_Current = i;
            return beNone;
        }
    return beUnknownDevice;
}

std::string TBurnLibrary::BurnDeviceLetters() const
{
    return Current() ? Current()->Text().substr(0, 1) : std::string();
}

int TBurnLibrary::GetMediumInformation(TMediumInfo* info)
{
    if (const int state = Readiness(true); state != beNone)
        return state;
    const std::string error = Current()->QueryMedium(info);
    return error.empty() ? beNone : Fail(beMedium, error);
}

int TBurnLibrary::SetBurnSpeed(int kbps)
{
    if (!Current())
        return beNoDevice;
    if (JobRunning())
        return beBusy;
    if (kbps < 0) {
        m_Speed = -1;
        return beNone;
    }
    // The slowest supported speed that is not slower than asked, else the fastest.
    const std::vector<int> speeds = Current()->Speeds();
    m_Speed = speeds.front();
    for (int speed : speeds)
        if (speed >= kbps)
            m_Speed = speed;
    return beNone;
}

int TBurnLibrary::GetBurnSpeed(int* kbps) const
{
    if (!Current())
        return beNoDevice;
    *kbps = m_Speed < 0 ? Current()->Speeds().front() : m_Speed;
    return beNone;
}

int TBurnLibrary::ConvertSpeedFromKBPerSec(int kbps, int* multiplier) const
{
    const double unit = Current() ? Current()->SpeedUnit() : 1385;
    if (kbps <= 0)
        return beNoSpeed;
    *multiplier = static_cast<int>(std::lround(kbps / unit));
    return *multiplier > 0 ? beNone : beNoSpeed;
}

void TBurnLibrary::FreeStream() { m_Stream.reset(); }

int TBurnLibrary::ClearAll()
{
    if (const int state = Readiness(false); state != beNone)
        return state;
    FreeStream();
    if (m_Project)
        m_Project = std::make_unique<TDataProject>();
    return beNone;
}

int TBurnLibrary::CreateProject(TProjectType type)
{
    if (const int state = Readiness(false); state != beNone)
        return state;
    FreeStream();
    if (type != ptData && type != ptISOUDF) {
        m_Project.reset();
        return Fail(bePrepare, "Only data projects can be burned");
    }
    m_Project = std::make_unique<TDataProject>();
    return m_Project->Ok() ? beNone : Fail(bePrepare, "The data project cannot be created");
}

int TBurnLibrary::ChangeProject(const std::function<void()>& change)
{
    if (JobRunning())
        return beBusy;
    FreeStream();  // a prepared image no longer matches
    change();
    return beNone;
}

int TBurnLibrary::DeleteProject()
{
    return ChangeProject([this] { m_Project.reset(); });
}

int TBurnLibrary::SetOptions(const TBurningOptions& options)
{
    return ChangeProject([this, &options] { m_Options = options; });
}

int TBurnLibrary::SetISOInfo(const TISOInfo& info)
{
    return ChangeProject([this, &info] { m_ISOInfo = info; });
}

int TBurnLibrary::AddFile(const std::string& sourcePath, const std::string& destinationFolder, const std::string& name)
{
    if (!m_Runtime)
        return beNotInitialized;
    if (!m_Project)
        return beNoProject;
    if (JobRunning())
        return beBusy;
    FreeStream();
    const std::string error = m_Project->AddFile(sourcePath, destinationFolder, name);
    return error.empty() ? beNone : Fail(beAddFile, error);
}

int TBurnLibrary::GetProjectSize(std::int64_t* bytes, int* files) const
{
    *bytes = m_Project ? m_Project->Size() : 0;
    *files = m_Project ? m_Project->Count() : 0;
    return beNone;
}

int TBurnLibrary::Prepare()
{
    if (const int state = Readiness(false); state != beNone)
        return state;
    if (!m_Project)
        return beNoProject;
    if (!Current())
        return beNoDevice;
    FreeStream();
    std::string error;
    m_Stream = m_Project->CreateStream(m_Options, m_ISOInfo, &error);
    if (!m_Stream)
        return Fail(bePrepare, error);
    error = Current()->CheckRoom(AsBurn(m_Stream.get())->get_size(AsBurn(m_Stream.get())));
    if (!error.empty()) {
        FreeStream();
        return Fail(bePrepare, error);
    }
    return beNone;
}

void TBurnLibrary::StartJob(std::function<void()> job)
{
    if (m_Job.joinable())
        m_Job.join();
    m_Cancel.Reset();
    m_JobRunning = true;
    m_Job = std::thread([this, job = std::move(job)] {
        job();
        m_JobRunning = false;
    });
}

void TBurnLibrary::JoinFinishedJob()
{
    if (!JobRunning() && m_Job.joinable())
        m_Job.join();
}

int TBurnLibrary::Burn()
{
    if (JobRunning())
        return beBusy;
    if (!m_Stream) {
        if (const int result = Prepare(); result != beNone)
            return result;
    }
    std::string error;
    burn_drive* drive = Current()->OpenForWriting(&error);
    if (!drive)
        return Fail(beStart, error);
    // The job owns the stream now; a job function must be copyable, so it holds a shared box.
    auto stream = std::make_shared<TImageStreamPtr>(std::move(m_Stream));
    TRecorder* recorder = Current();
    const bool eject = m_Options.Switches.Has(osEjectAfterBurn);
    StartJob([this, recorder, drive, stream, eject] { RunBurn(recorder, drive, std::move(*stream), eject); });
    return beNone;
}

int TBurnLibrary::Abort()
{
    m_Cancel.Request();
    return beNone;
}

int TBurnLibrary::Erase(bool fast, bool eject)
{
    if (const int state = Readiness(true); state != beNone)
        return state;
    TRecorder* recorder = Current();
    burn_drive* drive = nullptr;
    if (!recorder->ErasesItself()) {
        std::string error;
        drive = recorder->OpenForErasing(&error);
        if (!drive)
            return Fail(beStart, error);
    }
    StartJob([this, recorder, drive, fast, eject] { RunErase(recorder, drive, fast, eject); });
    return beNone;
}

// libburn refuses a write while the writer of the previous job, aborted, still holds on to
// the drive record that the new drive reuses; it says so only in a message and leaves the
// drive idle. Such a start is tried again until the old writer has gone.
bool TBurnLibrary::StartWriting(burn_write_opts* opts, burn_disc* disc, const TWriteStream& stream, std::string* error)
{
    burn_drive* drive = burn_write_opts_get_drive(opts);
    const auto giveUp = std::chrono::steady_clock::now() + kRefusedRetryLimit;
    for (;;) {
        TBurnRuntime::DropRecorderMessages();
        burn_disc_write(opts, disc);
        // A started write is past the idle state when burn_disc_write returns.
        if (burn_drive_get_status(drive, nullptr) != BURN_DRIVE_IDLE || stream.BytesRead() > 0)
            return true;
        const std::string refusal = TBurnRuntime::TakeRecorderError();
        if (m_Cancel.Requested()) {
            *error = kAborted;
            return false;
        }
        if (!burn_drive_wrote_well(drive) || std::chrono::steady_clock::now() >= giveUp) {
            *error = refusal.empty() ? std::string("Writing the disc failed") : refusal;
            return false;
        }
        m_Cancel.WaitFor(kRefusedRetryInterval);
    }
}

std::string TBurnLibrary::WriteDisc(burn_drive* drive, ::burn_source* stream, bool imageFile, bool* finalized)
{
    const std::int64_t imageSize = AsBurn(stream)->get_size(AsBurn(stream));
    // libburn's stdio drive would pace the image in chunks it cannot be interrupted in; the
    // image recorder is paced by its stream instead. libburn's speeds are in 1000 bytes/s.
    const double pace = imageFile && m_Speed > 0 ? m_Speed * 1000.0 : 0;
    TWriteStream source(AsBurn(stream), m_Cancel, pace, m_ReadHook);  // outlives the records
    TWriteRecords records;
    if (std::string error = MakeWriteRecords(records, drive, source.Source(), m_Options, imageFile); !error.empty())
        return error;
    burn_drive_set_speed(drive, 0, imageFile || m_Speed < 0 ? 0 : m_Speed);

    std::string error;
    if (!StartWriting(records.Opts.get(), records.Disc.get(), source, &error))
        return error;
    bool cancelled = false;
    float lastPercent = -1;
    const auto report = [&](float percent, const burn_progress& p) {
        TBurnProgress progress;
        progress.Percent = percent;
        progress.Cache = TDataProject::StreamFill(stream);
        if (p.buffer_capacity > 0)
            progress.DeviceBuffer =
                100.0f * static_cast<float>(p.buffer_capacity - p.buffer_available) / p.buffer_capacity;
        progress.ImageSize = static_cast<double>(imageSize);
        progress.BytesWritten = std::min(progress.ImageSize, percent / 100.0 * progress.ImageSize);
        lastPercent = percent;
        if (m_Events.Process)
            m_Events.Process(progress);
    };
    // The last 100 % and then finalize, unless the burn was aborted meanwhile, also from
    // within that last progress event.
    const auto finalize = [&](const burn_progress& p) {
        report(100, p);
        if (m_Cancel.Requested())
            return;
        *finalized = true;
        if (m_Events.Finalize)
            m_Events.Finalize();
    };
    for (;;) {
        burn_progress p{};
        const burn_drive_status status = burn_drive_get_status(drive, &p);
        if (status == BURN_DRIVE_IDLE)
            break;
        // A broken image (a source changed or vanished) ends the write like an abort.
        if ((m_Cancel.Requested() || source.Broken()) && !cancelled) {
            burn_drive_cancel(drive);
            cancelled = true;
        }
        if (!cancelled && status == BURN_DRIVE_WRITING && p.sectors > 0) {
            const float percent = std::min(99.0f, 100.0f * static_cast<float>(p.sector) / p.sectors);
            if (percent != lastPercent)
                report(percent, p);
        }
        if (!cancelled && !*finalized && !m_Cancel.Requested() &&
            (status == BURN_DRIVE_CLOSING_TRACK || status == BURN_DRIVE_CLOSING_SESSION ||
             status == BURN_DRIVE_WRITING_LEADOUT))
            finalize(p);
        // An abort wakes this wait; the writer then ends at its next read.
        if (cancelled)
            std::this_thread::sleep_for(kAbortPollInterval);
        else
            m_Cancel.WaitFor(kPollInterval);
    }
    if (m_Cancel.Requested())
        return kAborted;
    if (source.Broken()) {
        const std::string imageError = TBurnRuntime::TakeLibraryError(TErrorSource::Image);
        return imageError.empty() ? std::string("The image could not be made from the files") : imageError;
    }
    if (!burn_drive_wrote_well(drive)) {
        const std::string libraryError = TBurnRuntime::TakeLibraryError();
        return libraryError.empty() ? std::string("Writing the disc failed") : libraryError;
    }
    if (!*finalized)
        finalize(burn_progress{});
    if (m_Cancel.Requested())
        return kAborted;
    return {};
}

void TBurnLibrary::RunBurn(TRecorder* recorder, burn_drive* drive, TImageStreamPtr stream, bool eject)
{
    std::string error;
    bool finalized = false;
    const std::int64_t bytes = AsBurn(stream.get())->get_size(AsBurn(stream.get()));
    try {
        error = WriteDisc(drive, stream.get(), recorder->IsImageRecorder(), &finalized);
    } catch (...) {
        error = "Writing the disc failed";
    }
    if (error.empty())
        error = recorder->CheckWritten(bytes);
    // An abort up to here, even from within the finalize event, keeps no image.
    if (error.empty() && m_Cancel.Requested())
        error = kAborted;
    stream.reset();
    const std::string closeError = recorder->CloseAfterWriting(error.empty(), eject);
    if (error.empty())
        error = closeError;
    try {
        if (m_Events.BurnDone)
            m_Events.BurnDone(error);
    } catch (...) {
    }
}

void TBurnLibrary::RunErase(TRecorder* recorder, burn_drive* drive, bool fast, bool eject)
{
    std::string error;
    try {
        if (recorder->ErasesItself()) {
            error = recorder->EraseItself();
        } else {
            TBurnRuntime::DropLibraryMessages();
            burn_disc_erase(drive, fast ? 1 : 0);
            while (burn_drive_get_status(drive, nullptr) != BURN_DRIVE_IDLE)
                std::this_thread::sleep_for(kPollInterval);
            if (!burn_drive_wrote_well(drive)) {
                error = TBurnRuntime::TakeLibraryError();
                if (error.empty())
                    error = "Erasing the disc failed";
            }
            recorder->CloseAfterErasing(eject);
        }
    } catch (...) {
        error = "Erasing the disc failed";
    }
    try {
        if (m_Events.EraseDone)
            m_Events.EraseDone(error);
    } catch (...) {
    }
}

std::string TBurnLibrary::GetText(int code) const
{
    if (const auto it = m_Details.find(code); it != m_Details.end())
        return it->second;
    return FixedText(code);
}

}  // namespace reelsmith
