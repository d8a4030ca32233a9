// Loading cost of music and sounds through the sound layer.

#include "SoundFixtures.h"
#include "SoundMixer.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
    loadAndRelease(state, readFile(QUORIN_DEMO_MODULE), true);
}

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
    const std::string bytes = readFile(QUORIN_DEMO_MODULE);
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
BENCHMARK(BM_OpenWavStream);
BENCHMARK(BM_OpenOggStream);
BENCHMARK(BM_MixOneSecondOfModule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spectrum);
BENCHMARK_MAIN();
