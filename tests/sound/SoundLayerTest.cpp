// The real sound layer: libxmp modules, libsndfile streams, the mix and the
// spectrum. Runs without a sound card (SDL's dummy driver, or none at all).

#include "DataFile.h"
#include "Fft.h"
#include "FmodSoundManager.h"
#include "SoundHandle.h"
#include "SoundFixtures.h"
#include "SoundLayer.h"
#include "SoundMixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// libsndfile leaks its Vorbis decoder state when an Ogg file fails to open
// (a cut header); nothing is handed back that could be closed.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:vorbis_info_init\n";
}

namespace {

// Peak absolute sample of frames stereo frames pulled from the mixer.
int peak(SoundMixer& mixer, int frames)
{
    std::vector<short> out(static_cast<size_t>(frames) * 2);
    mixer.mix(out.data(), frames);
    int best = 0;
    for (short s : out)
        best = std::max(best, std::abs(static_cast<int>(s)));
    return best;
}

int peakOfLayer(int frames)
{
    std::vector<short> out(static_cast<size_t>(frames) * 2);
    EXPECT_EQ(soundLayerMix(out.data(), frames), frames);
    int best = 0;
    for (short s : out)
        best = std::max(best, std::abs(static_cast<int>(s)));
    return best;
}

int loudestBand(const float* bands)
{
    int best = 0;
    for (int i = 1; i < Fft::kBands; ++i)
        if (bands[i] > bands[best])
            best = i;
    return best;
}

TEST(SoundMixer, ModulePlaysStopsAndPlaysAgain)
{
    SoundMixer mixer(44100);
    std::string bytes = tinyModule();
    SoundTrack* music = mixer.loadModule(bytes.data(), static_cast<long>(bytes.size()), false);
    ASSERT_NE(music, nullptr);
    bytes.assign(bytes.size(), '\0');  // the module keeps nothing of the bytes

    EXPECT_EQ(peak(mixer, 4096), 0);  // loaded, not playing
    ASSERT_TRUE(mixer.play(music));
    EXPECT_GT(peak(mixer, 4096), 1000);
    ASSERT_TRUE(mixer.stop(music));
    EXPECT_EQ(peak(mixer, 4096), 0);
    ASSERT_TRUE(mixer.play(music));
    EXPECT_GT(peak(mixer, 4096), 1000);

    EXPECT_TRUE(mixer.release(music));
    EXPECT_FALSE(mixer.play(music));  // a freed track is never followed
    EXPECT_FALSE(mixer.release(music));
    EXPECT_EQ(peak(mixer, 1024), 0);
}

TEST(SoundMixer, ModuleWithoutLoopEndsAndLoopedOneGoesOn)
{
    SoundMixer mixer(44100);
    const std::string bytes = tinyModule();  // 64 rows at speed 6: 7.68 s
    SoundTrack* once = mixer.loadModule(bytes.data(), static_cast<long>(bytes.size()), false);
    ASSERT_NE(once, nullptr);
    mixer.play(once);
    peak(mixer, 44100 * 8);
    EXPECT_FALSE(once->playing());
    EXPECT_EQ(peak(mixer, 4096), 0);

    SoundTrack* looped = mixer.loadModule(bytes.data(), static_cast<long>(bytes.size()), true);
    mixer.play(looped);
    peak(mixer, 44100 * 8);
    EXPECT_TRUE(looped->playing());
    EXPECT_GT(peak(mixer, 4096), 1000);
}

TEST(SoundMixer, StreamsOfEachFormatPlayToTheirEnd)
{
    struct Case {
        const char* name;
        std::string bytes;
        int frames;  // at 44100 Hz
    } cases[] = {
        {"wav 44100 mono", sineWav(44100, 1, 4410, 441.0, 0.5), 4410},
        {"wav 22050 stereo", sineWav(22050, 2, 2205, 441.0, 0.5), 4410},
        {"ogg vorbis 44100", sineOgg(44100, 8820, 441.0), 8820},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        SoundMixer mixer(44100);
        SoundTrack* stream = mixer.openStream(c.bytes.data(), static_cast<long>(c.bytes.size()));
        ASSERT_NE(stream, nullptr);
        mixer.play(stream);
        const int first = peak(mixer, c.frames - 200);
        EXPECT_GT(first, 12000);
        EXPECT_LT(first, 18000);
        peak(mixer, 400);
        EXPECT_FALSE(stream->playing());
        EXPECT_EQ(peak(mixer, 1024), 0);
        mixer.play(stream);  // again, from the start
        EXPECT_GT(peak(mixer, 1024), 12000);
    }
}

TEST(SoundMixer, RefusesDataThatIsNoSound)
{
    SoundMixer mixer(44100);
    const std::string wav = sineWav(44100, 1, 100, 441.0, 0.5);
    const std::string module = tinyModule();
    const std::string text = "neither a module nor a stream, just some words";
    EXPECT_EQ(mixer.loadModule(text.data(), static_cast<long>(text.size()), false), nullptr);
    EXPECT_EQ(mixer.openStream(text.data(), static_cast<long>(text.size())), nullptr);
    EXPECT_EQ(mixer.loadModule(wav.data(), static_cast<long>(wav.size()), false), nullptr);
    // Cut short: the header promises more than is there.
    EXPECT_EQ(mixer.loadModule(module.data(), 600, false), nullptr);
    EXPECT_EQ(mixer.openStream(wav.data(), 20), nullptr);
    EXPECT_EQ(mixer.openStream(nullptr, 100), nullptr);
    EXPECT_EQ(mixer.loadModule(module.data(), 0, false), nullptr);
}

TEST(SoundMixer, CutFilesGiveNothingOrAPlayableSound)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool module;
    } cases[] = {
        {"module", tinyModule(), true},
        {"wav", sineWav(22050, 2, 300, 441.0, 0.5), false},
        {"ogg", sineOgg(44100, 2000, 441.0), false},
    };
    for (const Case& c : cases) {
        SoundMixer mixer(44100);
        int loaded = 0;
        for (size_t n = 0; n < c.bytes.size(); n += 3) {
            // A heap block of exactly n bytes, so a read past it shows.
            std::unique_ptr<char[]> cut(new char[n + 1]);
            std::copy(c.bytes.begin(), c.bytes.begin() + n, cut.get());
            SoundTrack* track = c.module ? mixer.loadModule(cut.get(), static_cast<long>(n), false)
                                         : mixer.openStream(cut.get(), static_cast<long>(n));
            if (!track)
                continue;
            ++loaded;
            mixer.play(track);
            peak(mixer, 1024);
            mixer.release(track);
        }
        EXPECT_GT(loaded, 0) << c.name;  // long enough cuts still play
    }
}

TEST(SoundMixer, MixAddsTracksAndClips)
{
    SoundMixer mixer(44100);
    const std::string loud = sineWav(44100, 1, 44100, 441.0, 0.9);
    SoundTrack* a = mixer.openStream(loud.data(), static_cast<long>(loud.size()));
    SoundTrack* b = mixer.openStream(loud.data(), static_cast<long>(loud.size()));
    mixer.play(a);
    mixer.play(b);
    std::vector<short> out(2048 * 2);
    mixer.mix(out.data(), 2048);
    // Twice 0.9 of full scale clips at the limits and never wraps round.
    int clipped = 0;
    for (int i = 0; i < 2048; ++i) {
        const double v = std::sin(2.0 * 3.14159265358979 * 441.0 * i / 44100);
        if (v > 0.7) {
            EXPECT_EQ(out[i * 2], 32767) << i;
        }
        if (v < -0.7) {
            EXPECT_EQ(out[i * 2 + 1], -32768) << i;
        }
        clipped += v > 0.7 || v < -0.7;
    }
    EXPECT_GT(clipped, 500);
}

TEST(Fft, SineShowsInItsBandAtFullScale)
{
    Fft fft;
    std::vector<float> samples(Fft::kSize);
    float bands[Fft::kBands];
    for (int band : {8, 100, 300}) {
        for (int i = 0; i < Fft::kSize; ++i)
            samples[i] = static_cast<float>(std::sin(2.0 * 3.14159265358979 * band * i / Fft::kSize));
        fft.analyse(samples.data(), bands);
        EXPECT_EQ(loudestBand(bands), band);
        EXPECT_NEAR(bands[band], 1.0f, 0.02f);
        EXPECT_LT(bands[band + 5], 0.01f);
    }
    std::fill(samples.begin(), samples.end(), 0.0f);
    fft.analyse(samples.data(), bands);
    for (float v : bands)
        EXPECT_EQ(v, 0.0f);
}

class SoundLayer : public ::testing::Test {
protected:
    void SetUp() override { FSOUND_Init(44100, 32, 0); }
    void TearDown() override { FSOUND_Close(); }
};

TEST_F(SoundLayer, ModuleFromMemoryIsHeardAndFreed)
{
    std::string* bytes = new std::string(tinyModule());
    FMUSIC_MODULE* music = FMUSIC_LoadSongEx(bytes->data(), 0, static_cast<int>(bytes->size()),
                                             FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, nullptr, 0);
    delete bytes;
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(FMUSIC_PlaySong(music), 1);
    EXPECT_GT(peakOfLayer(8192), 1000);
    EXPECT_EQ(FMUSIC_StopSong(music), 1);
    EXPECT_EQ(FMUSIC_FreeSong(music), 1);
    EXPECT_EQ(FMUSIC_PlaySong(music), 0);
    EXPECT_EQ(FMUSIC_FreeSong(music), 0);
}

TEST_F(SoundLayer, SongRepeatsUntilStopped)
{
    // Loaded the way the sound manager loads music: 7.68 s of song, then
    // it starts again instead of falling silent behind the menu or a race.
    const std::string bytes = tinyModule();
    FMUSIC_MODULE* music = FMUSIC_LoadSongEx(bytes.data(), 0, static_cast<int>(bytes.size()),
                                             FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, nullptr, 0);
    ASSERT_NE(music, nullptr);
    FMUSIC_PlaySong(music);
    peakOfLayer(44100 * 8);
    EXPECT_GT(peakOfLayer(4096), 1000);
    FMUSIC_StopSong(music);
    EXPECT_EQ(peakOfLayer(4096), 0);
    FMUSIC_FreeSong(music);
}

TEST_F(SoundLayer, StreamFromMemoryIsHeardUntilClosed)
{
    const std::string wav = sineWav(44100, 1, 44100, 441.0, 0.5);
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, 0, static_cast<int>(wav.size()));
    ASSERT_NE(stream, nullptr);
    EXPECT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
    EXPECT_GT(peakOfLayer(4096), 12000);
    EXPECT_EQ(FSOUND_Stream_Close(stream), 1);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), -1);
    EXPECT_EQ(FSOUND_Stream_Close(stream), 0);
}

TEST_F(SoundLayer, LoadsNeedMemoryModeAndSaneRanges)
{
    const std::string wav = sineWav(44100, 1, 1000, 441.0, 0.5);
    const int n = static_cast<int>(wav.size());
    EXPECT_EQ(FSOUND_Stream_Open(wav.data(), 0, 0, n), nullptr);  // would be a file name
    EXPECT_EQ(FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, -1, n), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, 0, -5), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(nullptr, FSOUND_LOADMEMORY, 0, n), nullptr);
    EXPECT_EQ(FMUSIC_LoadSongEx(wav.data(), 0, n, FSOUND_LOADMEMORY, nullptr, 0), nullptr);
}

TEST_F(SoundLayer, SpectrumFollowsWhatPlaysWhileSwitchedOn)
{
    EXPECT_EQ(FSOUND_DSP_GetSpectrum(), nullptr);  // off until switched on
    ASSERT_EQ(FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1), 1);
    float* bands = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(bands, nullptr);

    // 44100 / 1024 Hz per band: 2153.3 Hz falls in band 50.
    const std::string wav = sineWav(44100, 1, 44100, 50 * 44100.0 / 1024, 1.0);
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, 0, static_cast<int>(wav.size()));
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    peakOfLayer(2048);
    bands = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(bands, nullptr);
    EXPECT_EQ(loudestBand(bands), 50);
    EXPECT_GT(bands[50], 0.5f);

    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 0);
    EXPECT_EQ(FSOUND_DSP_GetSpectrum(), nullptr);
}

TEST_F(SoundLayer, CloseFreesEverythingAndLaterCallsDoNothing)
{
    const std::string module = tinyModule();
    const std::string wav = sineWav(44100, 1, 1000, 441.0, 0.5);
    FMUSIC_MODULE* music = FMUSIC_LoadSongEx(module.data(), 0, static_cast<int>(module.size()),
                                             FSOUND_LOADMEMORY, nullptr, 0);
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, 0, static_cast<int>(wav.size()));
    ASSERT_NE(music, nullptr);
    ASSERT_NE(stream, nullptr);
    FMUSIC_PlaySong(music);
    FSOUND_Close();  // LeakSanitizer reports anything left behind
    short out[64];
    EXPECT_EQ(soundLayerMix(out, 32), 0);
    EXPECT_EQ(FMUSIC_PlaySong(music), 0);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), -1);
    EXPECT_EQ(FMUSIC_LoadSongEx(module.data(), 0, static_cast<int>(module.size()),
                                FSOUND_LOADMEMORY, nullptr, 0),
              nullptr);
    EXPECT_EQ(FSOUND_DSP_GetSpectrum(), nullptr);
}

TEST_F(SoundLayer, DemoModuleOfTheMusicWriterPlays)
{
    std::ifstream in(QUORIN_DEMO_MODULE, std::ios::binary);
    ASSERT_TRUE(in) << QUORIN_DEMO_MODULE;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FMUSIC_MODULE* music = FMUSIC_LoadSongEx(bytes.data(), 0, static_cast<int>(bytes.size()),
                                             FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, nullptr, 0);
    ASSERT_NE(music, nullptr);
    FMUSIC_PlaySong(music);
    EXPECT_GT(peakOfLayer(8192), 1000);
}

// The manager over the real layer; sanitizers catch any freed byte touched
// and anything left unfreed.
TEST(SoundManagerOverLayer, PlaysRealSoundsAndFreesThemWithTheirHandles)
{
    std::unique_ptr<FmodSoundManager> manager(new FmodSoundManager(44100, true));
    const std::string module = tinyModule();
    const std::string wav = sineWav(44100, 1, 44100, 441.0, 0.5);
    const std::string text = "no sound at all";
    DataFile* musicFile = new DataFile("music.mod", module.data(), static_cast<int>(module.size()));
    DataFile* effectFile = new DataFile("go.wav", wav.data(), static_cast<int>(wav.size()));
    DataFile textFile("readme.txt", text.data(), static_cast<int>(text.size()));
    SoundHandle* music = manager->load(musicFile);
    SoundHandle* effect = manager->load(effectFile);
    EXPECT_EQ(manager->load(&textFile), nullptr);
    delete musicFile;
    delete effectFile;
    ASSERT_NE(music, nullptr);
    ASSERT_NE(effect, nullptr);

    manager->play(effect);
    EXPECT_GT(peakOfLayer(2048), 12000);
    manager->stop(effect);
    manager->play(effect);  // closed: stays silent
    EXPECT_EQ(peakOfLayer(2048), 0);
    manager->stop(effect);

    manager->play(music);
    EXPECT_GT(peakOfLayer(8192), 1000);
    delete music;  // frees the module while it plays
    EXPECT_EQ(peakOfLayer(2048), 0);
    EXPECT_EQ(manager->recordCount(), 1);

    manager.reset();
    delete effect;  // after its manager: touches nothing
}

}  // namespace
