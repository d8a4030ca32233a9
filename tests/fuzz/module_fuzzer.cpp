// Music modules through libxmp, as the sound layer loads them from memory,
// then played for a while.
#include "ModuleTrack.h"
#include "SoundFuzzing.h"

#include <cstdint>
#include <cstddef>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto track = ModuleTrack::load(data, static_cast<long>(size), 44100, false);
    if (track)
        fuzzPlay(*track);
    return 0;
}
