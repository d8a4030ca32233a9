// The sound card side on Windows: winmm's waveOut. Under Wine, ALSA's file
// plugin as the default device stands in for a card and writes what the
// layer delivers to a file (CTest points HOME at its configuration); with
// Wine's audio drivers turned off (CTest's WINEDLLOVERRIDES for the case
// without a device) there is no device at all.

#include "SoundFixtures.h"
#include "SoundLayer.h"
#include "SoundMixer.h"
#include "WaveOutAudioOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

FSOUND_STREAM* playSine(const std::string& wav)
{
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, 0, static_cast<int>(wav.size()));
    EXPECT_NE(stream, nullptr);
    EXPECT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
    return stream;
}

// Four buffers, the sine among them.
bool heard(const std::string& bytes)
{
    return bytes.size() >= 4096u * 4 && loudestSample(bytes) > 12000;
}

}  // namespace

TEST(WaveOutAudioOutput, DeliversThePlayingSoundToTheDevice)
{
    ASSERT_GE(waveOutGetNumDevs(), 1u) << "no waveOut device: Wine needs its ALSA driver (winealsa) "
                                          "and HOME must hold the file plugin's .asoundrc";
    const char* path = QUORIN_WAVEOUT_OUTPUT_FILE;
    std::remove(path);

    const std::string wav = sineWav(44100, 1, 44100, 441.0, 0.5);
    FSOUND_Init(44100, 32, 0);
    playSine(wav);
    waitForFile(path, heard, 20.0);
    FSOUND_Close();

    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 4096u * 4);
    const int loudest = loudestSample(bytes);
    EXPECT_GT(loudest, 12000);
    EXPECT_LT(loudest, 18000);
}

TEST(WaveOutAudioOutput, StartsAgainAfterStopAndStopsTwiceHarmlessly)
{
    ASSERT_GE(waveOutGetNumDevs(), 1u);
    SoundMixer mixer(44100);
    WaveOutAudioOutput output;
    EXPECT_TRUE(output.start(mixer));
    EXPECT_TRUE(output.start(mixer));  // restarts on the same device
    output.stop();
    output.stop();
    EXPECT_TRUE(output.start(mixer));
}  // the destructor stops it

TEST(NoWaveOutDevice, StartFailsAndTheLayerPlaysSilentlyStillMixing)
{
    if (waveOutGetNumDevs() != 0)
        GTEST_SKIP() << "a sound device is there (run by its ctest entry, Wine's audio drivers are off)";
    SoundMixer mixer(44100);
    WaveOutAudioOutput output;
    EXPECT_FALSE(output.start(mixer));
    output.stop();

    const std::string wav = sineWav(44100, 1, 44100, 441.0, 0.5);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    FSOUND_STREAM* stream = playSine(wav);
    std::vector<short> out(4096 * 2);
    EXPECT_EQ(soundLayerMix(out.data(), 4096), 4096);
    const short loudest = *std::max_element(out.begin(), out.end());
    EXPECT_GT(loudest, 12000);
    EXPECT_EQ(FSOUND_Stream_Close(stream), 1);
    FSOUND_Close();
}
