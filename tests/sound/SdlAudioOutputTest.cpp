// The sound card side: SDL's disk driver stands in for a card and writes
// what the layer delivers to a file.

#include "SoundFixtures.h"
#include "SoundLayer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

TEST(SdlAudioOutput, DeliversThePlayingSoundToTheDevice)
{
    const char* path = QUORIN_DISK_AUDIO_FILE;
    std::remove(path);
    SDL_putenv(const_cast<char*>("SDL_AUDIODRIVER=disk"));
    SDL_putenv(const_cast<char*>("SDL_DISKAUDIODELAY=1"));
    static std::string file = std::string("SDL_DISKAUDIOFILE=") + path;
    SDL_putenv(&file[0]);

    const std::string wav = sineWav(44100, 1, 44100, 441.0, 0.5);
    FSOUND_Init(44100, 32, 0);
    ASSERT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);  // audio alone is started
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, 0, static_cast<int>(wav.size()));
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    waitForFile(path, [](const std::string& bytes) {
        return bytes.size() >= 4096u * 4 && loudestSample(bytes) > 12000;
    }, 20.0);
    FSOUND_Close();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 4096u * 4);
    const int loudest = loudestSample(bytes);
    EXPECT_GT(loudest, 12000);
    EXPECT_LT(loudest, 18000);
}
