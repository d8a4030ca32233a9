#ifndef QUORIN_SOUNDFUZZING_H
#define QUORIN_SOUNDFUZZING_H

#include "SoundTrack.h"

#include <cstdlib>

// Plays a loaded track for a bounded number of chunks (about two seconds
// at 44100 Hz), as the mixer would, and checks it stays inside the 16-bit
// range it promises for each track.
inline void fuzzPlay(SoundTrack& track)
{
    static int mix[SoundTrack::kChunk * 2];
    track.start();
    for (int chunk = 0; chunk < 170 && track.playing(); ++chunk) {
        for (int& sample : mix)
            sample = 0;
        track.mixInto(mix, SoundTrack::kChunk);
        for (int sample : mix)
            if (sample < -32768 * 4 || sample > 32767 * 4)
                std::abort();
    }
    track.stop();
}

#endif
