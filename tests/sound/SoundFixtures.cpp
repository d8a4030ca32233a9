#include "SoundFixtures.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

void put16be(std::string& out, int v)
{
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void put16le(std::string& out, int v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32le(std::string& out, unsigned v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::vector<short> sine(int rate, int channels, int frames, double frequency, double amplitude)
{
    std::vector<short> samples(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        double v = amplitude * std::sin(2.0 * 3.14159265358979 * frequency * i / rate);
        for (int c = 0; c < channels; ++c)
            samples[static_cast<size_t>(i) * channels + c] = static_cast<short>(v * 32767.0);
    }
    return samples;
}

struct MemoryFile {
    std::string bytes;
    sf_count_t position = 0;
};

sf_count_t memLength(void* user) { return static_cast<MemoryFile*>(user)->bytes.size(); }

sf_count_t memSeek(sf_count_t offset, int whence, void* user)
{
    MemoryFile* f = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_CUR ? f->position
                    : whence == SEEK_END ? static_cast<sf_count_t>(f->bytes.size()) : 0;
    f->position = base + offset;
    return f->position;
}

sf_count_t memRead(void* out, sf_count_t count, void* user)
{
    MemoryFile* f = static_cast<MemoryFile*>(user);
    sf_count_t left = static_cast<sf_count_t>(f->bytes.size()) - f->position;
    if (count > left)
        count = left;
    if (count <= 0)
        return 0;
    std::memcpy(out, f->bytes.data() + f->position, static_cast<size_t>(count));
    f->position += count;
    return count;
}

sf_count_t memWrite(const void* in, sf_count_t count, void* user)
{
    MemoryFile* f = static_cast<MemoryFile*>(user);
    if (f->position + count > static_cast<sf_count_t>(f->bytes.size()))
        f->bytes.resize(static_cast<size_t>(f->position + count));
    std::memcpy(&f->bytes[static_cast<size_t>(f->position)], in, static_cast<size_t>(count));
    f->position += count;
    return count;
}

sf_count_t memTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

}  // namespace

std::string tinyModule()
{
    std::string out("tiny test module\0\0\0\0", 20);
    // Sample 1: 128 bytes of square wave, looped whole, full volume.
    std::string name("square");
    name.resize(22, '\0');
    out += name;
    put16be(out, 64);    // length in words
    out += '\0';         // finetune
    out += '\x40';       // volume 64
    put16be(out, 0);     // loop start
    put16be(out, 64);    // loop length in words
    for (int i = 1; i < 31; ++i) {
        out += std::string(22 + 8, '\0');
        out[out.size() - 1] = 1;  // empty sample: loop length 1
    }
    out += '\x01';  // one position
    out += '\x7f';
    out += std::string(128, '\0');  // order: pattern 0
    out += "M.K.";
    const int periods[4] = {428, 339, 285, 214};  // C-2, E-2, G-2, C-3
    for (int row = 0; row < 64; ++row) {
        for (int channel = 0; channel < 4; ++channel) {
            int period = 0, sample = 0;
            if (channel == 0 && row % 16 == 0) {
                period = periods[row / 16];
                sample = 1;
            }
            out += static_cast<char>((sample & 0xF0) | (period >> 8));
            out += static_cast<char>(period & 0xFF);
            out += static_cast<char>((sample & 0x0F) << 4);
            out += '\0';
        }
    }
    for (int i = 0; i < 128; ++i)
        out += static_cast<char>(i % 32 < 16 ? 100 : -100);
    return out;
}

std::string sineWav(int rate, int channels, int frames, double frequency, double amplitude)
{
    std::vector<short> samples = sine(rate, channels, frames, frequency, amplitude);
    const unsigned dataBytes = static_cast<unsigned>(samples.size() * 2);
    std::string out = "RIFF";
    put32le(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32le(out, 16);
    put16le(out, 1);  // PCM
    put16le(out, channels);
    put32le(out, rate);
    put32le(out, rate * channels * 2);
    put16le(out, channels * 2);
    put16le(out, 16);
    out += "data";
    put32le(out, dataBytes);
    for (short s : samples)
        put16le(out, s);
    return out;
}

std::string sineOgg(int rate, int frames, double frequency)
{
    std::vector<short> samples = sine(rate, 1, frames, frequency, 0.5);
    MemoryFile file;
    SF_VIRTUAL_IO io = {memLength, memSeek, memRead, memWrite, memTell};
    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!sf)
        return std::string();
    sf_writef_short(sf, samples.data(), frames);
    sf_close(sf);
    return file.bytes;
}

int loudestSample(const std::string& bytes)
{
    int loudest = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const short s = static_cast<short>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8));
        loudest = std::max(loudest, std::abs(static_cast<int>(s)));
    }
    return loudest;
}

std::string waitForFile(const std::string& path, const std::function<bool(const std::string&)>& enough,
                        double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (enough(bytes) || std::chrono::steady_clock::now() >= deadline)
            return bytes;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
