// The burning layer and TBurnerSDK on the image recorder, without a display.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "burn/burn_flow.h"
#include "burn/burn_library.h"
#include "burn_test_support.h"
#include "support/test_media.h"

namespace reelsmith {
namespace {

using test::TempFolder;

struct TEvents {
    std::vector<float> Percents;
    int Finalized = 0;
    int FinalizedAtProcessCount = -1;
    std::vector<std::string> BurnDone;
    std::vector<std::string> EraseDone;
    bool OffMainThread = false;
};

class BurnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        burner.OnProcess = [this](float percent, float, float, double, double) {
            Check();
            events.Percents.push_back(percent);
            if (onProcess)
                onProcess();
        };
        burner.OnFinalize = [this] {
            Check();
            ++events.Finalized;
            events.FinalizedAtProcessCount = static_cast<int>(events.Percents.size());
            if (onFinalize)
                onFinalize();
        };
        burner.OnBurnDone = [this](const std::string& error) {
            Check();
            events.BurnDone.push_back(error);
        };
        burner.OnEraseDone = [this](const std::string& error) {
            Check();
            events.EraseDone.push_back(error);
        };
        burner.SetActive(true);
        ASSERT_TRUE(burner.Active()) << burner.LastErrorText();
        ASSERT_TRUE(burner.GetDevices());
        for (int i = 1; i <= burner.DeviceCount(); ++i)
            if (burner.IsImageRecorder(i))
                burner.SetBurnDevice(i);
        ASSERT_TRUE(burner.IsImageRecorder(burner.BurnDevice()));
        burner.SetProjectType(ptISOUDF);
        TBurningOptions options = burner.Options();
        options.VolumeLabel = "My Videos";
        options.Switches = {osFinalize, osUnderrunProtection};
        options.CacheSize = 134217728;
        burner.SetOptions(options);
    }

    void Check()
    {
        if (!dispatcher.IsMainThread())
            events.OffMainThread = true;
    }

    // Serves the job's events until it has ended, as the UI thread would.
    bool WaitForDone(const std::vector<std::string>& done)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (done.empty() && std::chrono::steady_clock::now() < end)
            dispatcher.WaitAndServe(std::chrono::milliseconds(20));
        // A second done event would arrive right behind the first.
        dispatcher.WaitAndServe(std::chrono::milliseconds(300));
        return !done.empty();
    }

    TQueueDispatcher dispatcher;
    TBurnLibrary* library = nullptr;  // the one burner made
    TBurnerSDK burner{dispatcher, [this] {
                          auto made = std::make_unique<TBurnLibrary>();
                          library = made.get();
                          return made;
                      }};
    TEvents events;
    std::function<void()> onProcess;
    std::function<void()> onFinalize;
    TempFolder folder;
};

TEST_F(BurnerTest, ImageRecorderIsAlwaysListedAsAWritableMedium)
{
    // Without drives (or without access to them) only the image recorder is listed.
    EXPECT_GE(burner.DeviceCount(), 1);
    EXPECT_EQ(burner.Devices(burner.BurnDevice())[0], 'Z');
    ASSERT_TRUE(burner.GetDeviceInfo(0));
    EXPECT_EQ(burner.DeviceInfo(burner.BurnDevice()).VendorID, "Image");
    burner.SetImagePath(folder.file("disc.iso"));
    ASSERT_TRUE(burner.GetMediumInformation(0));
    EXPECT_NE(burner.MediumInformation().MediumTypeCode, mtcUnknown);
    EXPECT_GT(burner.MediumInformation().MediumFreeSize, 0);
    EXPECT_EQ(DiscTypeText(burner.MediumInformation()), "ISO image");
}

TEST_F(BurnerTest, BurnsThreeFilesToAnImageThatReadsBackByteForByte)
{
    const auto sources = test::ThreeMediaFiles();
    std::vector<TBurnRow> rows;
    for (const auto& source : sources)
        rows.push_back({source.Name, source.Path});
    std::vector<std::string> failures;
    ASSERT_TRUE(AddRowsToProject(burner, rows, [&](const std::string& line) { failures.push_back(line); }));
    EXPECT_EQ(burner.DataProjectCount(), 3);
    std::int64_t total = 0;
    for (const auto& source : sources)
        total += static_cast<std::int64_t>(std::filesystem::file_size(source.Path));
    EXPECT_EQ(burner.DataProjectSize(), total);

    const std::string image = folder.file("My Videos.iso");
    burner.SetImagePath(image);
    burner.Prepare();
    ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
    burner.Burn();
    ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
    ASSERT_TRUE(WaitForDone(events.BurnDone));

    ASSERT_EQ(events.BurnDone.size(), 1u);
    EXPECT_EQ(events.BurnDone[0], "");
    EXPECT_FALSE(events.OffMainThread);
    ASSERT_FALSE(events.Percents.empty());
    EXPECT_TRUE(std::is_sorted(events.Percents.begin(), events.Percents.end()));
    EXPECT_EQ(events.Percents.back(), 100.0f);
    EXPECT_EQ(events.Finalized, 1);
    EXPECT_EQ(events.FinalizedAtProcessCount, static_cast<int>(events.Percents.size()));
    EXPECT_TRUE(events.EraseDone.empty());
    EXPECT_TRUE(test::HiddenFiles(folder.path()).empty());

    std::vector<std::string> expected;
    for (const auto& source : sources)
        expected.push_back("/" + source.Name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::ImageFiles(image, false), expected);
    EXPECT_EQ(test::ImageFiles(image, true), expected);  // Joliet: long and non-ASCII names too
    EXPECT_EQ(test::VolumeLabel(image), "My Videos");
    const std::string extracted = folder.file("out");
    ASSERT_TRUE(test::ExtractImage(image, extracted));
    for (const auto& source : sources)
        EXPECT_TRUE(test::SameBytes(source.Path, extracted + "/" + source.Name)) << source.Name;

    // Erase empties the image, and ends with exactly one erase-done event.
    burner.Erase(true, false);
    ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
    ASSERT_TRUE(WaitForDone(events.EraseDone));
    EXPECT_EQ(events.EraseDone, std::vector<std::string>{""});
    EXPECT_EQ(std::filesystem::file_size(image), 0u);
    EXPECT_EQ(events.BurnDone.size(), 1u);
}

// Abort at any place of a burn: the writer is held there (or the abort comes from an event),
// so the place does not depend on how fast the machine writes. Each burn ends once, with the
// abort's text, no finalize after the abort, and neither the image nor a hidden partial file.
// The aborted burns follow each other at once, and a last burn must still succeed.
TEST_F(BurnerTest, AbortAtAnyPlaceEndsOnceWithAnErrorAndLeavesNoImage)
{
    constexpr std::int64_t kSector = 2048;
    using TPlace = test::TWriterGate::TPlace;
    enum TFrom { fromGate, fromBurnCall, fromLastProgress, fromFinalize };
    struct Case {
        const char* Where;
        TFrom From;
        TPlace HoldAt;
        int Finalized;
    };
    const Case cases[] = {
        {"right after Burn", fromBurnCall, {}, 0},
        {"before the first read", fromGate, [](std::int64_t offset, std::int64_t) { return offset == 0; }, 0},
        {"in the middle", fromGate, [](std::int64_t offset, std::int64_t size) { return offset >= size / 2; }, 0},
        {"before the last read", fromGate,
         [](std::int64_t offset, std::int64_t size) { return offset >= size - kSector; }, 0},
        {"in the last progress event", fromLastProgress, {}, 0},
        {"in the finalize event", fromFinalize, {}, 1},
    };
    const std::string source = folder.file("four.bin");
    test::WriteRandomFile(source, 4LL << 20);
    ASSERT_TRUE(burner.AddFile(source, "/", "four.bin"));
    ASSERT_NE(library, nullptr);
    const std::string image = folder.file("aborted.iso");
    burner.SetImagePath(image);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.Where);
        events = {};
        test::TWriterGate gate(c.HoldAt ? c.HoldAt : [](std::int64_t, std::int64_t) { return false; });
        library->SetImageReadHook(gate.Hook());
        onProcess = [&] {
            if (c.From == fromLastProgress && events.Percents.back() == 100.0f)
                burner.Abort();
        };
        onFinalize = [&] {
            if (c.From == fromFinalize)
                burner.Abort();
        };
        burner.Burn();
        ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
        if (c.From == fromBurnCall)
            burner.Abort();
        if (c.From == fromGate) {
            ASSERT_TRUE(gate.WaitUntilHeld(dispatcher));
            burner.Abort();
            gate.Release();
        }
        ASSERT_TRUE(WaitForDone(events.BurnDone));
        EXPECT_EQ(events.BurnDone, std::vector<std::string>{"Burning was aborted by the user"});
        EXPECT_EQ(events.Finalized, c.Finalized);
        if (c.From == fromGate) {
            EXPECT_EQ(gate.Highest(), gate.HeldAt()) << "the writer read on after the abort";
        }
        EXPECT_FALSE(std::filesystem::exists(image));
        EXPECT_TRUE(test::HiddenFiles(folder.path()).empty());
    }

    // The aborted writers are out of the way of the next burn.
    events = {};
    onProcess = {};
    onFinalize = {};
    library->SetImageReadHook({});
    burner.Burn();
    ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
    ASSERT_TRUE(WaitForDone(events.BurnDone));
    EXPECT_EQ(events.BurnDone, std::vector<std::string>{""});
    EXPECT_EQ(events.Finalized, 1);
    EXPECT_TRUE(std::filesystem::exists(image));
    EXPECT_TRUE(test::HiddenFiles(folder.path()).empty());
}

TEST_F(BurnerTest, FullFolderGivesAClearErrorAndNoImage)
{
    test::TSmallDisk disk(4096);
    if (!disk.Ok())
        GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root); the full-folder case is not run";
    const std::string source = folder.file("three.bin");
    test::WriteRandomFile(source, 3LL << 20);
    ASSERT_TRUE(burner.AddFile(source, "/", "three.bin"));
    const std::string image = disk.Path() + "/full.iso";
    burner.SetImagePath(image);

    // Too big from the start: Prepare says so.
    const std::string filler = disk.Path() + "/filler.bin";
    test::WriteRandomFile(filler, 2LL << 20);
    burner.Prepare();
    EXPECT_NE(burner.LastError(), 0);
    EXPECT_NE(burner.LastErrorText().find("Not enough free space"), std::string::npos) << burner.LastErrorText();

    // The folder fills up while the image is written: the burn fails, nothing is left.
    std::filesystem::remove(filler);
    burner.Prepare();
    ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
    test::WriteRandomFile(filler, 2LL << 20);
    burner.Burn();
    ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
    ASSERT_TRUE(WaitForDone(events.BurnDone));
    ASSERT_EQ(events.BurnDone.size(), 1u);
    // libburn may report the short write as good (then after finalize); the check of the
    // written size still ends the burn with an error. Either way it names the cause.
    EXPECT_NE(events.BurnDone[0].find("No space left on device"), std::string::npos) << events.BurnDone[0];
    EXPECT_FALSE(std::filesystem::exists(image));
    EXPECT_TRUE(test::HiddenFiles(disk.Path()).empty());
}

// Every row that cannot be added is named with the reason, a source deleted since it was
// listed too; the rest are added.
TEST_F(BurnerTest, EveryRowThatCannotBeAddedIsReported)
{
    const auto sources = test::ThreeMediaFiles();
    // A socket exists and is no folder, but cannot be read as a file, not even by root.
    const std::string socketPath = folder.file("unreadable.sock");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string gone = folder.file("gone.mp4");
    std::vector<TBurnRow> rows = {
        {sources[0].Name, sources[0].Path}, {"gone.mp4", gone},
        {"unreadable.sock", socketPath},    {"folder", folder.path()},
        {sources[1].Name, sources[1].Path},
    };
    std::vector<std::string> failures;
    EXPECT_FALSE(AddRowsToProject(burner, rows, [&](const std::string& line) { failures.push_back(line); }));
    ::close(fd);
    EXPECT_EQ(failures, (std::vector<std::string>{
                            "No such file or directory... " + gone,
                            "No such device or address... " + socketPath,  // open(2) refuses a socket
                            "Not a regular file... " + folder.path(),
                        }));
    EXPECT_EQ(burner.DataProjectCount(), 2);
    // The same caption twice is refused by the project.
    EXPECT_FALSE(burner.AddFile(sources[2].Path, "/", sources[0].Name));
    EXPECT_FALSE(burner.LastErrorText().empty());
}

// A name that is not UTF-8 (Latin-1 from an old disk) is burned: its Rock Ridge name is its
// bytes, and the file reads back byte for byte.
TEST_F(BurnerTest, ANameThatIsNotUtf8IsBurnedUnderItsBytes)
{
    const std::string name = "caf\xe9 \xe0 la cr\xe8me.bin";
    const std::string source = folder.file(name);
    test::WriteRandomFile(source, 300000);
    std::vector<std::string> failures;
    ASSERT_TRUE(AddRowsToProject(burner, {{name, source}}, [&](const std::string& line) { failures.push_back(line); }));
    EXPECT_EQ(burner.DataProjectCount(), 1);
    const std::string image = folder.file("latin.iso");
    burner.SetImagePath(image);
    burner.Burn();
    ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
    ASSERT_TRUE(WaitForDone(events.BurnDone));
    EXPECT_EQ(events.BurnDone, std::vector<std::string>{""});
    EXPECT_EQ(test::ImageFiles(image, false), std::vector<std::string>{"/" + name});
    EXPECT_EQ(test::ImageFiles(image, true).size(), 1u);  // Joliet has a name for it too
    const std::string extracted = folder.file("out");
    ASSERT_TRUE(test::ExtractImage(image, extracted));
    EXPECT_TRUE(test::SameBytes(source, extracted + "/" + name));
}

// A source that changes after it was added ends the burn with a red error naming it, never
// as a zero-filled or cut file in an image that passes for good. The next burn is clean.
TEST_F(BurnerTest, ASourceThatChangesAfterAddingEndsTheBurnWithNoImage)
{
    struct Case {
        const char* What;
        std::function<void(const std::string& path)> Change;
        const char* Says;
    };
    const Case cases[] = {
        {"shrunk", [](const std::string& path) { std::filesystem::resize_file(path, 1 << 20); }, "has changed"},
        {"grown", [](const std::string& path) { std::filesystem::resize_file(path, 6 << 20); }, "has changed"},
        {"deleted", [](const std::string& path) { std::filesystem::remove(path); }, "can't be opened"},
    };
    const std::string image = folder.file("changed.iso");
    burner.SetImagePath(image);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        events = {};
        burner.ClearAll();
        const std::string source = folder.file(std::string(c.What) + ".bin");
        test::WriteRandomFile(source, 4LL << 20);
        ASSERT_TRUE(burner.AddFile(source, "/", "video.bin"));
        c.Change(source);
        burner.Burn();
        ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
        ASSERT_TRUE(WaitForDone(events.BurnDone));
        ASSERT_EQ(events.BurnDone.size(), 1u);
        EXPECT_NE(events.BurnDone[0].find(source), std::string::npos) << events.BurnDone[0];
        EXPECT_NE(events.BurnDone[0].find(c.Says), std::string::npos) << events.BurnDone[0];
        for (const char* untrue : {"padded", "Filling", "truncated"})  // what libisofs would have done
            EXPECT_EQ(events.BurnDone[0].find(untrue), std::string::npos) << events.BurnDone[0];
        EXPECT_EQ(events.Finalized, 0);
        EXPECT_FALSE(std::filesystem::exists(image));
        EXPECT_TRUE(test::HiddenFiles(folder.path()).empty());
    }
    events = {};
    burner.ClearAll();
    const std::string good = folder.file("good.bin");
    test::WriteRandomFile(good, 1LL << 20);
    ASSERT_TRUE(burner.AddFile(good, "/", "good.bin"));
    burner.Burn();
    ASSERT_TRUE(WaitForDone(events.BurnDone));
    EXPECT_EQ(events.BurnDone, std::vector<std::string>{""});
    EXPECT_TRUE(std::filesystem::exists(image));
}

// The finished image gets the permissions of any new file of the user, not mkstemp's 0600.
TEST_F(BurnerTest, TheImageFollowsTheUsersFileCreationMask)
{
    const std::string source = folder.file("small.bin");
    test::WriteRandomFile(source, 100000);
    ASSERT_TRUE(burner.AddFile(source, "/", "small.bin"));
    const mode_t saved = ::umask(022);
    for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{077}, mode_t{002}}) {
        SCOPED_TRACE(mask);
        ::umask(mask);
        events = {};
        const std::string image = folder.file("mode-" + std::to_string(mask) + ".iso");
        burner.SetImagePath(image);
        burner.Burn();
        ASSERT_EQ(burner.LastError(), 0) << burner.LastErrorText();
        ASSERT_TRUE(WaitForDone(events.BurnDone));
        EXPECT_EQ(events.BurnDone, std::vector<std::string>{""});
        struct stat st {};
        ASSERT_EQ(::stat(image.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    }
    ::umask(saved);
}

TEST_F(BurnerTest, SpeedListsWithAndWithoutADisc)
{
    int unit = 0;
    const auto noDisc = BuildSpeedList(burner, true, &unit);
    EXPECT_EQ(noDisc, (std::vector<std::string>{"16x", "12x", "8x", "6x", "4x", "2x"}));
    EXPECT_EQ(unit, 1385);
    EXPECT_EQ(SpeedForChoice(noDisc, 2, unit), 11080);
    EXPECT_EQ(SpeedForChoice(noDisc, 0, unit), -1);
    EXPECT_EQ(SpeedForChoice({"8x"}, 0, unit), -1);

    unit = 0;
    const auto image = BuildSpeedList(burner, false, &unit);
    EXPECT_EQ(image, (std::vector<std::string>{"16x", "12x", "8x", "4x", "2x"}));
    EXPECT_EQ(unit, 1385);
    EXPECT_EQ(burner.BurnSpeed(), 16 * 1385);  // the maximum stays requested
    burner.SetBurnSpeed(SpeedForChoice(image, 3, unit));
    EXPECT_EQ(burner.SpeedToText(burner.BurnSpeed()), "4x");
    EXPECT_EQ(burner.SpeedToText(0), "");
}

TEST(BurnTexts, SizeAndDataLines)
{
    struct Case {
        double Bytes;
        const char* Text;
    };
    for (const Case& c : {Case{1073741824.0, "1,024 MB"}, Case{1073741825.0, "1.00 GB"}, Case{1610612736.0, "1.50 GB"},
                          Case{1048576.0, "1 MB"}, Case{0, "0 MB"}, Case{5.0 * 1048576 * 1000, "4.88 GB"}})
        EXPECT_EQ(BurnSizeText(c.Bytes), c.Text) << c.Bytes;
    EXPECT_EQ(DataLine(1, 3 * 1048576), "Data: 1 file, 3 MB");
    EXPECT_EQ(DataLine(0, 1048576), "Data: 0 files, 1 MB");
    EXPECT_EQ(DataLine(3, 1073741824), "Data: 3 files, 1,024 MB");
    TMediumInfo medium;
    medium.MediumType = "DVD-RW sequential recording";
    for (TMediumTypeCode code : {mtcDVD_RW_RO, mtcDVD_RW_SR}) {
        medium.MediumTypeCode = code;
        EXPECT_EQ(DiscTypeText(medium), "DVD-RW");
    }
    medium.MediumTypeCode = mtcDVD_RW;
    EXPECT_EQ(DiscTypeText(medium), "DVD-RW sequential recording");
}

TEST(BurnerComponent, RulesOfActivationAndIndexes)
{
    TQueueDispatcher dispatcher;
    TBurnerSDK inactive(dispatcher);
    EXPECT_THROW(
        try { inactive.ClearAll(); } catch (const EBurnerSDK& e) {
            EXPECT_STREQ(e.what(), "internal module must be active for this function");
            throw;
        },
        EBurnerSDK);
    EXPECT_EQ(inactive.LastError(), 4096);
    EXPECT_EQ(inactive.LastErrorText(), "SDK DLL is not initialized");

    TBurnerSDK missing(dispatcher, [] { return std::unique_ptr<TBurnLibrary>(); });
    missing.SetActive(true);
    EXPECT_FALSE(missing.Active());
    EXPECT_EQ(missing.LastErrorText(), "SDK DLL file not found");

    TBurnerSDK first(dispatcher);
    first.SetActive(true);
    ASSERT_TRUE(first.Active());
    TBurnerSDK second(dispatcher);
    EXPECT_THROW(
        try { second.SetActive(true); } catch (const EBurnerSDK& e) {
            EXPECT_STREQ(e.what(), "Only one instance of internal module can be active at a time");
            throw;
        },
        EBurnerSDK);
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(first.DataProjectSize(), 0);
    EXPECT_THROW(first.Devices(0), EBurnerSDK);
    EXPECT_THROW(first.DeviceInfo(27), EBurnerSDK);
    EXPECT_THROW(first.SetBurnDevice(27), EBurnerSDK);
    // Activation again after the first let go, in the same process.
    first.SetActive(false);
    second.SetActive(true);
    EXPECT_TRUE(second.Active());
}

TEST_F(BurnerTest, FailedStartRaisesNoEventAndSaysWhy)
{
    ASSERT_TRUE(burner.AddFile(test::ThreeMediaFiles()[0].Path, "/", "a.mp4"));
    burner.SetImagePath(folder.file("no-such-folder/disc.iso"));
    burner.Burn();
    EXPECT_NE(burner.LastError(), 0);
    EXPECT_FALSE(burner.LastErrorText().empty());
    dispatcher.WaitAndServe(std::chrono::milliseconds(200));
    EXPECT_TRUE(events.BurnDone.empty());
}

TEST_F(BurnerTest, NoEventAfterTheComponentIsGone)
{
    const std::string big = folder.file("big.bin");
    test::WriteRandomFile(big, 32LL << 20);
    auto late = std::make_unique<TBurnerSDK>(dispatcher);
    burner.SetActive(false);
    int calls = 0;
    late->OnProcess = [&](float, float, float, double, double) { ++calls; };
    late->OnBurnDone = [&](const std::string&) { ++calls; };
    late->SetActive(true);
    ASSERT_TRUE(late->GetDevices());
    late->SetBurnDevice(late->DeviceCount());
    late->SetProjectType(ptISOUDF);
    ASSERT_TRUE(late->AddFile(big, "/", "big.bin"));
    late->SetImagePath(folder.file("late.iso"));
    late->Burn();
    ASSERT_EQ(late->LastError(), 0) << late->LastErrorText();
    late.reset();  // the job is aborted and waited for; its events are dropped
    const int seen = calls;
    dispatcher.WaitAndServe(std::chrono::milliseconds(300));
    EXPECT_EQ(calls, seen);
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(std::filesystem::exists(folder.file("late.iso")));
    EXPECT_TRUE(test::HiddenFiles(folder.path()).empty());
}

}  // namespace
}  // namespace reelsmith
