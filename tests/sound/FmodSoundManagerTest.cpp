// The sound manager's calls into the sound layer, against a recording layer:
// data starting with "MOD" is a module, "WAV" a stream, anything else neither.

#include "DataFile.h"
#include "FmodSoundManager.h"
#include "MemoryFileSystem.h"
#include "SoundHandle.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct FakeLayer {
    std::vector<std::string> log;
    float spectrum[512];
    bool spectrumOn = true;
    char modules[8];                  // module pointers point into this
    int nextModule = 0;
    char streams[8];
    int nextStream = 0;
    std::vector<const char*> streamBytes;  // what each stream reads from
    std::vector<int> streamLengths;
};

FakeLayer* fake = nullptr;

std::string str(const char* what, long a = 0, long b = 0, long c = 0)
{
    return std::string(what) + " " + std::to_string(a) + " " + std::to_string(b) + " " +
           std::to_string(c);
}

FSOUND_DSPUNIT* fakeUnit() { return reinterpret_cast<FSOUND_DSPUNIT*>(&fake->spectrumOn); }
long moduleIndex(FMUSIC_MODULE* m) { return reinterpret_cast<char*>(m) - fake->modules; }
long streamIndex(FSOUND_STREAM* s) { return reinterpret_cast<char*>(s) - fake->streams; }

signed char fakeInit(int rate, int channels, unsigned flags)
{
    fake->log.push_back(str("init", rate, channels, flags));
    return 1;
}
void fakeClose() { fake->log.push_back("close"); }
FSOUND_DSPUNIT* fakeFftUnit() { return fakeUnit(); }
signed char fakeSetActive(FSOUND_DSPUNIT* unit, signed char on)
{
    fake->log.push_back(str(unit == fakeUnit() ? "setActive fft" : "setActive other", on));
    return 1;
}
float* fakeGetSpectrum() { return fake->spectrumOn ? fake->spectrum : nullptr; }
FMUSIC_MODULE* fakeLoadSong(const char* data, int offset, int length, unsigned mode,
                            const int* list, int listCount)
{
    fake->log.push_back(str("loadSong", offset, length, mode) +
                        (list || listCount ? " list" : ""));
    if (length < 3 || std::string(data, 3) != "MOD")
        return nullptr;
    return reinterpret_cast<FMUSIC_MODULE*>(fake->modules + fake->nextModule++);
}
signed char fakeFreeSong(FMUSIC_MODULE* m)
{
    fake->log.push_back(str("freeSong", moduleIndex(m)));
    return 1;
}
signed char fakePlaySong(FMUSIC_MODULE* m)
{
    fake->log.push_back(str("playSong", moduleIndex(m)));
    return 1;
}
signed char fakeStopSong(FMUSIC_MODULE* m)
{
    fake->log.push_back(str("stopSong", moduleIndex(m)));
    return 1;
}
FSOUND_STREAM* fakeOpenStream(const char* data, unsigned mode, int offset, int length)
{
    fake->log.push_back(str("openStream", mode, offset, length));
    if (length < 3 || std::string(data, 3) != "WAV")
        return nullptr;
    fake->streamBytes.push_back(data);
    fake->streamLengths.push_back(length);
    return reinterpret_cast<FSOUND_STREAM*>(fake->streams + fake->nextStream++);
}
int fakePlayStream(int channel, FSOUND_STREAM* s)
{
    // Reads the stream's bytes as a real stream would: a freed copy shows
    // under AddressSanitizer, a wrong one in the log.
    long i = streamIndex(s);
    std::string bytes(fake->streamBytes[i], fake->streamLengths[i]);
    fake->log.push_back(str("playStream", channel, i) + " " + bytes);
    return 0;
}
signed char fakeCloseStream(FSOUND_STREAM* s)
{
    fake->log.push_back(str("closeStream", streamIndex(s)));
    return 1;
}

const FmodCalls fakeCalls = {fakeInit,      fakeClose,    fakeFftUnit,    fakeSetActive,
                             fakeGetSpectrum, fakeLoadSong, fakeFreeSong, fakePlaySong,
                             fakeStopSong,  fakeOpenStream, fakePlayStream, fakeCloseStream};

class FmodSoundManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = &layer;
        manager.reset(new FmodSoundManager(44100, true, fakeCalls));
        SoundManager::setInstance(manager.get());
        layer.log.clear();
    }
    void TearDown() override
    {
        manager.reset();
        fake = nullptr;
    }

    SoundHandle* load(const std::string& bytes, const std::string& path = "sound.bin")
    {
        DataFile file(path, bytes.data(), static_cast<int>(bytes.size()));
        return loadSound(&file);
    }
    std::vector<std::string> takeLog()
    {
        std::vector<std::string> log;
        log.swap(layer.log);
        return log;
    }

    FakeLayer layer;
    std::unique_ptr<FmodSoundManager> manager;
};

using Log = std::vector<std::string>;

TEST_F(FmodSoundManagerTest, StartsTheLayerAndClosesItLast)
{
    manager.reset();
    takeLog();
    {
        FmodSoundManager other(22050, false, fakeCalls);
        EXPECT_EQ(takeLog(), (Log{"init 22050 32 0", "setActive fft 0 0 0"}));
        other.enableSpectrum(true);
        EXPECT_EQ(takeLog(), (Log{"setActive fft 1 0 0"}));
    }
    EXPECT_EQ(takeLog(), (Log{"close"}));
}

TEST_F(FmodSoundManagerTest, ModulePlaysAndStopsAnyNumberOfTimes)
{
    std::unique_ptr<SoundHandle> music(load("MOD tune"));
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(takeLog(), (Log{"loadSong 0 8 32769"}));  // 0x8001, no sample list

    playSound(music.get());
    stopSound(music.get());
    playSound(music.get());
    stopSound(music.get());
    EXPECT_EQ(takeLog(), (Log{"playSong 0 0 0", "stopSong 0 0 0", "playSong 0 0 0",
                              "stopSong 0 0 0"}));

    music.reset();
    EXPECT_EQ(takeLog(), (Log{"freeSong 0 0 0"}));
    EXPECT_EQ(manager->recordCount(), 0);
}

TEST_F(FmodSoundManagerTest, StreamPlaysFromItsOwnCopyUntilStopped)
{
    std::string bytes = "WAV effect";
    DataFile* file = new DataFile("jump.wav", bytes.data(), static_cast<int>(bytes.size()));
    std::unique_ptr<SoundHandle> jump(loadSound(file));
    ASSERT_NE(jump, nullptr);
    ASSERT_EQ(layer.streamBytes.size(), 1u);
    EXPECT_NE(layer.streamBytes[0], reinterpret_cast<const char*>(file->data()));
    delete file;
    EXPECT_EQ(takeLog(), (Log{"loadSong 0 10 32769", "openStream 32768 0 10"}));

    playSound(jump.get());
    playSound(jump.get());
    stopSound(jump.get());
    // Closed for good: later plays and stops reach nothing.
    playSound(jump.get());
    stopSound(jump.get());
    EXPECT_EQ(takeLog(), (Log{"playStream -1 0 0 WAV effect", "playStream -1 0 0 WAV effect",
                              "closeStream 0 0 0"}));
    jump.reset();
    EXPECT_EQ(takeLog(), Log{});
}

TEST_F(FmodSoundManagerTest, RefusedDataGivesNoHandleAndNoRecord)
{
    EXPECT_EQ(load("plain text"), nullptr);
    EXPECT_EQ(load(""), nullptr);
    EXPECT_EQ(loadSound(nullptr), nullptr);
    EXPECT_EQ(manager->recordCount(), 0);
    EXPECT_EQ(takeLog(), (Log{"loadSong 0 10 32769", "openStream 32768 0 10",
                              "loadSong 0 0 32769"}));

    MemoryFileSystem files;
    files.add("music.mod", std::string("MOD x"));
    FileSystem::setInstance(&files);
    std::unique_ptr<SoundHandle> found(loadSoundFile("music.mod"));
    SoundHandle* missing = loadSoundFile("nothing.mod");
    FileSystem::setInstance(nullptr);
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(takeLog(), (Log{"loadSong 0 5 32769"}));
}

TEST_F(FmodSoundManagerTest, UnknownAndNullHandlesReachNothing)
{
    SoundHandle stranger;
    playSound(nullptr);
    stopSound(nullptr);
    playSound(&stranger);
    stopSound(&stranger);
    EXPECT_EQ(takeLog(), Log{});
}

TEST_F(FmodSoundManagerTest, TwoLoadsOfOneFileAreTwoSounds)
{
    std::unique_ptr<SoundHandle> a(load("MOD same"));
    std::unique_ptr<SoundHandle> b(load("MOD same"));
    ASSERT_NE(a, b);
    takeLog();
    playSound(b.get());
    playSound(a.get());
    EXPECT_EQ(takeLog(), (Log{"playSong 1 0 0", "playSong 0 0 0"}));
    EXPECT_EQ(manager->recordCount(), 2);
}

TEST_F(FmodSoundManagerTest, DeletedHandlesFreeTheirSoundsAndAreNeverFoundAgain)
{
    SoundHandle* stream = load("WAV one");
    SoundHandle* module = load("MOD two");
    takeLog();
    delete stream;
    delete module;
    EXPECT_EQ(takeLog(), (Log{"closeStream 0 0 0", "freeSong 0 0 0"}));
    EXPECT_EQ(manager->recordCount(), 0);

    // A new handle may take the old one's address; it finds its own sound.
    std::unique_ptr<SoundHandle> next(load("MOD three"));
    takeLog();
    playSound(next.get());
    EXPECT_EQ(takeLog(), (Log{"playSong 1 0 0"}));
}

TEST_F(FmodSoundManagerTest, DestructorFreesWhatIsLeftAndHandlesOutliveIt)
{
    std::unique_ptr<SoundHandle> module(load("MOD a"));
    std::unique_ptr<SoundHandle> stream(load("WAV b"));
    std::unique_ptr<SoundHandle> stopped(load("WAV c"));
    stopSound(stopped.get());
    takeLog();
    manager.reset();
    EXPECT_EQ(SoundManager::instance(), nullptr);
    EXPECT_EQ(takeLog(), (Log{"freeSong 0 0 0", "closeStream 0 0 0", "close"}));

    // The game deletes its handles after the manager: nothing is reached.
    module.reset();
    stream.reset();
    stopped.reset();
    playSound(nullptr);
    EXPECT_EQ(takeLog(), Log{});

    // A new manager starts with no records of the old one.
    FmodSoundManager fresh(44100, true, fakeCalls);
    EXPECT_EQ(fresh.recordCount(), 0);
}

TEST_F(FmodSoundManagerTest, SpectrumSamplesAndClampsTheLayersBands)
{
    for (int i = 0; i < 512; ++i)
        layer.spectrum[i] = i / 1000.0f;
    layer.spectrum[128] = 1.5f;
    layer.spectrum[256] = 0.25f;

    struct Case {
        int count;
        std::vector<float> expected;
    } cases[] = {
        {4, {0.0f, 1.0f, 0.25f, 0.384f}},
        {3, {0.0f, 0.170f, 0.341f}},
        {1, {0.0f}},
    };
    for (const Case& c : cases) {
        std::vector<float> out(c.count, -1.0f);
        manager->spectrum(out.data(), c.count);
        for (int i = 0; i < c.count; ++i)
            EXPECT_FLOAT_EQ(out[i], c.expected[i]) << "count " << c.count << " value " << i;
    }

    std::vector<float> all(512);
    manager->spectrum(all.data(), 512);
    for (int i = 0; i < 512; ++i)
        EXPECT_FLOAT_EQ(all[i], i == 128 ? 1.0f : layer.spectrum[i]) << i;

    float untouched[2] = {-1.0f, -1.0f};
    manager->spectrum(untouched, 0);
    manager->spectrum(untouched, -3);
    layer.spectrumOn = false;
    manager->spectrum(untouched, 2);
    EXPECT_EQ(untouched[0], -1.0f);
    EXPECT_EQ(untouched[1], -1.0f);
}

}  // namespace
