#include "FmodCalls.h"

const FmodCalls& FmodCalls::layer()
{
    static const FmodCalls calls = {
        FSOUND_Init,        FSOUND_Close,      FSOUND_DSP_GetFFTUnit, FSOUND_DSP_SetActive,
        FSOUND_DSP_GetSpectrum, FMUSIC_LoadSongEx, FMUSIC_FreeSong,   FMUSIC_PlaySong,
        FMUSIC_StopSong,    FSOUND_Stream_Open, FSOUND_Stream_Play,   FSOUND_Stream_Close,
    };
    return calls;
}
