// Sound streams (WAV, Ogg Vorbis, ...) through libsndfile from memory, as
// the sound layer opens them, then played for a while.
#include "SoundFuzzing.h"
#include "StreamTrack.h"

#include <cstdint>
#include <cstddef>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The stream reads its bytes while it plays: a copy that lives as long.
    std::vector<uint8_t> bytes(data, data + size);
    auto track = StreamTrack::open(bytes.data(), static_cast<long>(bytes.size()), 44100);
    if (track)
        fuzzPlay(*track);
    return 0;
}
