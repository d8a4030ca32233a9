// Loading cost of music and sounds through the sound layer.

#include "HostFiles.h"
#include "SoundFixtures.h"
#include "SoundMixer.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A module of the size of real game music: 31 samples of 8 KB, 32 patterns
// with a note on every channel of every row (about 290 KB).
std::string largeModule()
{
    std::string out(20, 'L');
    for (int i = 0; i < 31; ++i) {
        std::string header(30, '\0');
        header[22] = 0x10;  // 4096 words
        header[25] = 0x40;  // volume
        header[29] = 1;     // no loop
        out += header;
    }
    out += static_cast<char>(32);
    out += '\x7f';
    for (int i = 0; i < 128; ++i)
        out += static_cast<char>(i < 32 ? i : 0);
    out += "M.K.";
    const int periods[8] = {428, 381, 339, 320, 285, 254, 226, 214};
    for (int p = 0; p < 32; ++p)
        for (int row = 0; row < 64; ++row)
            for (int c = 0; c < 4; ++c) {
                const int period = periods[(p + row + c) % 8];
                const int sample = 1 + (row + c * 7) % 31;
                out += static_cast<char>((sample & 0xF0) | (period >> 8));
                out += static_cast<char>(period & 0xFF);
                out += static_cast<char>((sample & 0x0F) << 4);
                out += '\0';
            }
    for (int i = 0; i < 31 * 8192; ++i)
        out += static_cast<char>((i * 7) % 200 - 100);
    return out;
}

void loadAndRelease(benchmark::State& state, const std::string& bytes, bool module)
{
    SoundMixer mixer(44100);
    for (auto _ : state) {
        SoundTrack* track = module
            ? mixer.loadModule(bytes.data(), static_cast<long>(bytes.size()), false)
            : mixer.openStream(bytes.data(), static_cast<long>(bytes.size()));
        if (!track) {
            state.SkipWithError("not loaded");
            break;
        }
        mixer.release(track);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_LoadTinyModule(benchmark::State& state) { loadAndRelease(state, tinyModule(), true); }

void BM_LoadDemoModule(benchmark::State& state)
{
    loadAndRelease(state, readHostFile(QUORIN_DEMO_MODULE), true);
}

void BM_LoadLargeModule(benchmark::State& state) { loadAndRelease(state, largeModule(), true); }

void BM_OpenWavStream(benchmark::State& state)
{
    loadAndRelease(state, sineWav(44100, 2, 44100, 441.0, 0.5), false);
}

void BM_OpenOggStream(benchmark::State& state)
{
    loadAndRelease(state, sineOgg(44100, 44100, 441.0), false);
}

// One second of music: what the sound card's thread spends per second.
void BM_MixOneSecondOfModule(benchmark::State& state)
{
    SoundMixer mixer(44100);
    const std::string bytes = readHostFile(QUORIN_DEMO_MODULE);
    SoundTrack* music = mixer.loadModule(bytes.data(), static_cast<long>(bytes.size()), true);
    mixer.play(music);
    static short out[1024 * 2];
    for (auto _ : state)
        for (int i = 0; i < 43; ++i)
            mixer.mix(out, 1024);
}

void BM_Spectrum(benchmark::State& state)
{
    SoundMixer mixer(44100);
    float bands[Fft::kBands];
    for (auto _ : state) {
        mixer.spectrum(bands);
        benchmark::DoNotOptimize(bands[0]);
    }
}

}  // namespace

BENCHMARK(BM_LoadTinyModule);
BENCHMARK(BM_LoadDemoModule);
BENCHMARK(BM_LoadLargeModule);
BENCHMARK(BM_OpenWavStream);
BENCHMARK(BM_OpenOggStream);
BENCHMARK(BM_MixOneSecondOfModule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spectrum);
BENCHMARK_MAIN();
