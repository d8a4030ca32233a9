#ifndef QUORIN_SOUNDFIXTURES_H
#define QUORIN_SOUNDFIXTURES_H

#include <functional>
#include <string>

// Small sound files made in memory, byte for byte the same on every run.

// A four-channel ProTracker module: one looped square-wave sample and four
// notes on channel 0, one pattern of 64 rows at speed 6 (about 7.7 s).
std::string tinyModule();

// A 16-bit PCM WAV file holding a sine of the given frequency.
std::string sineWav(int rate, int channels, int frames, double frequency, double amplitude);

// The same sine as Ogg Vorbis, encoded by libsndfile into memory.
std::string sineOgg(int rate, int frames, double frequency);

// The loudest of the 16-bit little-endian samples in bytes.
int loudestSample(const std::string& bytes);

// Reads the file at path again and again until `enough` takes its bytes, or
// until `seconds` have passed, and returns what it read last: a sound device
// writing to a file takes what it plays at its own pace, slower on a busy
// machine, and may start with silence before the sound begins.
std::string waitForFile(const std::string& path, const std::function<bool(const std::string&)>& enough,
                        double seconds);

#endif
