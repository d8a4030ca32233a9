#ifndef QUORIN_SOUNDFIXTURES_H
#define QUORIN_SOUNDFIXTURES_H

#include <cstddef>
#include <string>

// Small sound files made in memory, byte for byte the same on every run.

// A four-channel ProTracker module: one looped square-wave sample and four
// notes on channel 0, one pattern of 64 rows at speed 6 (about 7.7 s).
std::string tinyModule();

// A 16-bit PCM WAV file holding a sine of the given frequency.
std::string sineWav(int rate, int channels, int frames, double frequency, double amplitude);

// The same sine as Ogg Vorbis, encoded by libsndfile into memory.
std::string sineOgg(int rate, int frames, double frequency);

// Waits until the file at path holds at least `bytes` bytes and returns its
// size, or returns the size it has after `seconds`: a sound device writing
// to a file takes what it plays at its own pace, slower on a busy machine.
std::size_t waitForFileSize(const std::string& path, std::size_t bytes, double seconds);

#endif
