#include "PictureHeader.h"

#include "BmpPicture.h"
#include "TgaPicture.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>

namespace {

const char* const readableFormats = "the engine reads PNG, JPEG, BMP and TGA pictures";

uint32_t bigEndian32(const unsigned char* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

unsigned bigEndian16(const unsigned char* p)
{
    return (static_cast<unsigned>(p[0]) << 8) | p[1];
}

bool startsWith(const unsigned char* bytes, size_t size, const char* prefix, size_t length)
{
    return size >= length && std::memcmp(bytes, prefix, length) == 0;
}

bool endsWithTgaName(const std::string& path)
{
    if (path.size() < 4)
        return false;
    const char* end = path.c_str() + path.size() - 4;
    return end[0] == '.' && (end[1] == 't' || end[1] == 'T') && (end[2] == 'g' || end[2] == 'G') &&
           (end[3] == 'a' || end[3] == 'A');
}

bool hasTgaFooter(const unsigned char* bytes, size_t size)
{
    static const char signature[18] = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                       'N', '-', 'X', 'F', 'I', 'L', 'E', '.', '\0'};
    return size >= 18 + 26 && std::memcmp(bytes + size - 18, signature, 18) == 0;
}

// A Windows icon starts 0, 0, 1, 0 as a colour-mapped TGA without a map
// and image ID does. It is taken for an icon when its directory holds up
// as far as the file goes: a count of one image or more, then 16 bytes an
// image whose reserved byte is 0, of a bit count an icon can have, whose
// data of one byte or more starts after the directory and, once the file
// holds the whole directory, inside the file.
bool holdsAsIcon(const unsigned char* bytes, size_t size)
{
    if (!startsWith(bytes, size, "\0\0\1\0", 4))
        return false;
    if (size < 6)
        return true;
    const unsigned long count = bytes[4] | static_cast<unsigned>(bytes[5]) << 8;
    const unsigned long long directoryEnd = 6 + 16ULL * count;
    if (count == 0)
        return false;
    for (unsigned long i = 0; i < count && 6 + 16ULL * (i + 1) <= size; ++i) {
        const unsigned char* entry = bytes + 6 + 16 * i;
        const unsigned bits = entry[6] | static_cast<unsigned>(entry[7]) << 8;
        const unsigned long long length = entry[8] | static_cast<unsigned long>(entry[9]) << 8 |
                                          static_cast<unsigned long>(entry[10]) << 16 |
                                          static_cast<unsigned long>(entry[11]) << 24;
        const unsigned long long offset = entry[12] | static_cast<unsigned long>(entry[13]) << 8 |
                                          static_cast<unsigned long>(entry[14]) << 16 |
                                          static_cast<unsigned long>(entry[15]) << 24;
        const bool iconBits = bits == 0 || bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 ||
                              bits == 24 || bits == 32;
        if (entry[3] != 0 || !iconBits || length == 0 || offset < directoryEnd ||
            (size >= directoryEnd && offset >= size))
            return false;
    }
    return true;
}

// Formats the image library knows but whose readers the engine does not
// trust with outside bytes, named so the refusal says what the file is.
const char* refusedFormatName(const unsigned char* bytes, size_t size)
{
    if (startsWith(bytes, size, "GIF8", 4))
        return "GIF";
    if (size >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7')
        return "PNM";
    if (startsWith(bytes, size, "II*\0", 4) || startsWith(bytes, size, "MM\0*", 4))
        return "TIFF";
    if (startsWith(bytes, size, "#?RADIANCE", 10) || startsWith(bytes, size, "#?RGBE", 6))
        return "Radiance HDR";
    if (startsWith(bytes, size, "icns", 4))
        return "Apple icon";
    if (startsWith(bytes, size, "DDS ", 4))
        return "DDS";
    if (startsWith(bytes, size, "8BPS", 4))
        return "Photoshop";
    if (size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WEBP", 4) == 0)
        return "WebP";
    return nullptr;
}

// The rows of a PNG's image data, pass by pass (one pass, or the seven of
// Adam7 interlacing; passes without pixels have no rows).
class PngRows {
public:
    PngRows(uint32_t width, uint32_t height, unsigned bitsPerPixel, bool interlaced)
        : width_(width), height_(height), bits_(bitsPerPixel), passes_(interlaced ? 7 : 1)
    {
        startPass(0);
    }

    // Bytes the whole image data holds: each row a filter byte and its pixels.
    unsigned long long totalBytes() const
    {
        unsigned long long total = 0;
        for (int p = 0; p < passes_; ++p) {
            unsigned long long columns = passColumns(p), rows = passRows(p);
            if (columns > 0 && rows > 0)
                total += rows * (1 + rowBytes(columns));
        }
        return total;
    }

    bool done() const { return pass_ >= passes_; }

    // Walks n bytes of image data; false at a filter byte above 4.
    bool consume(const unsigned char* bytes, size_t n)
    {
        while (n > 0 && !done()) {
            if (position_ == 0) {
                if (*bytes > 4)
                    return false;
                ++bytes;
                --n;
                position_ = 1;
            } else {
                unsigned long long left = rowLength_ - position_;
                size_t step = left < n ? static_cast<size_t>(left) : n;
                bytes += step;
                n -= step;
                position_ += step;
            }
            if (position_ == rowLength_) {
                position_ = 0;
                if (++row_ == rowsInPass_)
                    startPass(pass_ + 1);
            }
        }
        return true;
    }

private:
    static const int xStart[7], yStart[7], xStep[7], yStep[7];

    unsigned long long passColumns(int p) const
    {
        if (passes_ == 1)
            return width_;
        return width_ > static_cast<uint32_t>(xStart[p]) ? (width_ - xStart[p] + xStep[p] - 1) / xStep[p] : 0;
    }
    unsigned long long passRows(int p) const
    {
        if (passes_ == 1)
            return height_;
        return height_ > static_cast<uint32_t>(yStart[p]) ? (height_ - yStart[p] + yStep[p] - 1) / yStep[p] : 0;
    }
    unsigned long long rowBytes(unsigned long long columns) const { return (columns * bits_ + 7) / 8; }

    void startPass(int p)
    {
        for (pass_ = p; pass_ < passes_; ++pass_) {
            if (passColumns(pass_) > 0 && passRows(pass_) > 0)
                break;
        }
        row_ = 0;
        position_ = 0;
        if (pass_ < passes_) {
            rowsInPass_ = passRows(pass_);
            rowLength_ = 1 + rowBytes(passColumns(pass_));
        }
    }

    uint32_t width_, height_;
    unsigned bits_;
    int passes_;
    int pass_ = 0;
    unsigned long long row_ = 0, rowsInPass_ = 0, position_ = 0, rowLength_ = 0;
};

const int PngRows::xStart[7] = {0, 4, 0, 2, 0, 1, 0};
const int PngRows::yStart[7] = {0, 0, 4, 0, 2, 0, 1};
const int PngRows::xStep[7] = {8, 8, 4, 4, 2, 2, 1};
const int PngRows::yStep[7] = {8, 8, 8, 4, 4, 2, 2};

bool isChunkLetter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

PictureHeader::PictureHeader() : format_(PictureFormat::unknown), width_(0), height_(0)
{
}

PictureHeader& PictureHeader::refuse(const std::string& why)
{
    if (problem_.empty())
        problem_ = why;
    return *this;
}

PictureHeader& PictureHeader::setSize(int width, long long height)
{
    if (width < 1 || height < 1)
        return refuse("declares an empty picture (" + std::to_string(width) + " x " +
                      std::to_string(height) + ")");
    if (width > maxSide || height > maxSide)
        return refuse("declares " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels; a side may be at most " + std::to_string(maxSide));
    if (static_cast<long long>(width) * height > maxPixels)
        return refuse("declares " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels; a picture may hold at most " + std::to_string(maxPixels));
    width_ = width;
    height_ = static_cast<int>(height);
    return *this;
}

const char* PictureHeader::formatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::png: return "PNG";
    case PictureFormat::jpeg: return "JPEG";
    case PictureFormat::bmp: return "BMP";
    case PictureFormat::tga: return "TGA";
    case PictureFormat::unknown: break;
    }
    return "unknown";
}

PictureHeader PictureHeader::read(const unsigned char* bytes, size_t size, const std::string& path)
{
    PictureHeader header;
    if (!bytes || size == 0) {
        header.refuse("the file is empty");
        return header;
    }
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(bytes, pngSignature, 8) == 0) {
        header.format_ = PictureFormat::png;
        header.readPng(bytes, size);
    } else if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        header.format_ = PictureFormat::jpeg;
        header.readJpeg(bytes, size);
    } else if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        header.format_ = PictureFormat::bmp;
        header.readBmp(bytes, size);
    } else if (const char* other = refusedFormatName(bytes, size)) {
        const char* article = std::strchr("AEIOU", other[0]) ? "an " : "a ";
        header.refuse(article + std::string(other) + " picture; " + readableFormats);
    } else if (holdsAsIcon(bytes, size)) {
        // A TGA footer too: the bytes fit both.
        header.refuse(std::string(hasTgaFooter(bytes, size)
                                      ? "a Windows icon picture or a colour-mapped TGA without a colour map; "
                                      : "a Windows icon picture; ") +
                      readableFormats);
    } else if (endsWithTgaName(path) || hasTgaFooter(bytes, size)) {
        header.format_ = PictureFormat::tga;
        header.readTga(bytes, size);
    } else {
        header.refuse(std::string("not a picture in a known format; ") + readableFormats);
    }
    if (!header.usable()) {
        header.width_ = 0;
        header.height_ = 0;
    }
    return header;
}

void PictureHeader::readPng(const unsigned char* bytes, size_t size)
{
    // Chunks: length, type, data, CRC-32 of type and data.
    size_t position = 8;
    bool sawHeader = false, sawPalette = false, sawEnd = false;
    int colourType = 0;
    unsigned bitsPerPixel = 0;
    bool interlaced = false;
    // The first run of consecutive IDAT chunks: the image data.
    size_t firstData = 0, dataChunks = 0;
    bool dataRunClosed = false;
    while (!sawEnd && position + 12 <= size) {
        uint32_t length = bigEndian32(bytes + position);
        const unsigned char* type = bytes + position + 4;
        if (length > 0x7FFFFFFFu || length > size - position - 12)
            return static_cast<void>(refuse("a PNG chunk runs past the end of the file"));
        for (int i = 0; i < 4; ++i)
            if (!isChunkLetter(type[i]))
                return static_cast<void>(refuse("a PNG chunk has an invalid type"));
        uLong crc = crc32(0L, type, static_cast<uInt>(4 + length));
        if (crc != bigEndian32(type + 4 + length))
            return static_cast<void>(refuse("a PNG chunk fails its CRC check (damaged file)"));
        const unsigned char* data = type + 4;
        bool isData = std::memcmp(type, "IDAT", 4) == 0;
        if (!sawHeader) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13)
                return static_cast<void>(refuse("a PNG without its header chunk first"));
            sawHeader = true;
            uint32_t width = bigEndian32(data), height = bigEndian32(data + 4);
            unsigned depth = data[8];
            colourType = data[9];
            static const struct { int type; unsigned channels; unsigned depths; } kinds[] = {
                {0, 1, (1u << 1) | (1u << 2) | (1u << 4) | (1u << 8) | (1u << 16)},
                {2, 3, (1u << 8) | (1u << 16)},
                {3, 1, (1u << 1) | (1u << 2) | (1u << 4) | (1u << 8)},
                {4, 2, (1u << 8) | (1u << 16)},
                {6, 4, (1u << 8) | (1u << 16)},
            };
            for (const auto& kind : kinds)
                if (kind.type == colourType && depth <= 16 && (kind.depths & (1u << depth)))
                    bitsPerPixel = kind.channels * depth;
            if (bitsPerPixel == 0)
                return static_cast<void>(refuse("a PNG with an invalid colour type or bit depth"));
            if (data[10] != 0 || data[11] != 0 || data[12] > 1)
                return static_cast<void>(refuse("a PNG with an unknown compression, filter or interlace method"));
            interlaced = data[12] == 1;
            if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu)
                return static_cast<void>(refuse("a PNG declaring an impossible size"));
            if (!setSize(static_cast<int>(width), height).usable())
                return;
        } else if (std::memcmp(type, "IHDR", 4) == 0) {
            return static_cast<void>(refuse("a PNG with a second header chunk"));
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            if (dataChunks > 0)
                return static_cast<void>(refuse("a PNG whose palette follows its image data"));
            if (length == 0 || length % 3 != 0 || length > 3 * 256)
                return static_cast<void>(refuse("a PNG with an invalid palette"));
            sawPalette = true;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            sawEnd = true;
        }
        if (isData) {
            if (dataChunks == 0)
                firstData = position;
            if (!dataRunClosed)
                ++dataChunks;
        } else if (dataChunks > 0) {
            dataRunClosed = true;
        }
        position += 12 + length;
    }
    if (!sawHeader)
        return static_cast<void>(refuse("a PNG without its header chunk"));
    if (!sawEnd && position < size)
        return static_cast<void>(refuse("the PNG ends inside a chunk (cut short)"));
    if (dataChunks == 0)
        return static_cast<void>(refuse("a PNG without image data"));
    if (colourType == 3 && !sawPalette)
        return static_cast<void>(refuse("a palette PNG without its palette"));

    // The image data must inflate to every row, each with a known filter.
    PngRows rows(static_cast<uint32_t>(width_), static_cast<uint32_t>(height_), bitsPerPixel, interlaced);
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK)
        return static_cast<void>(refuse("cannot check the PNG's image data"));
    unsigned char out[16384];
    unsigned long long extra = 0;
    int status = Z_OK;
    size_t chunk = firstData;
    for (size_t i = 0; i < dataChunks && status == Z_OK; ++i) {
        uint32_t length = bigEndian32(bytes + chunk);
        stream.next_in = const_cast<Bytef*>(bytes + chunk + 8);
        stream.avail_in = length;
        chunk += 12 + length;
        while (status == Z_OK && (stream.avail_in > 0 || stream.avail_out == 0)) {
            stream.next_out = out;
            stream.avail_out = sizeof out;
            status = inflate(&stream, Z_NO_FLUSH);
            size_t produced = sizeof out - stream.avail_out;
            if (status != Z_OK && status != Z_STREAM_END) {
                if (status == Z_BUF_ERROR)
                    status = Z_OK;   // needs the next chunk
                else
                    break;
            }
            if (rows.done()) {
                extra += produced;
            } else if (!rows.consume(out, produced)) {
                inflateEnd(&stream);
                return static_cast<void>(refuse("a PNG row has an unknown filter type (damaged file)"));
            }
            if (extra > 65536)
                break;
            if (produced == 0 && stream.avail_in == 0)
                break;
        }
    }
    inflateEnd(&stream);
    if (!rows.done())
        return static_cast<void>(refuse("the PNG's image data ends before its last row (damaged or cut short)"));
    if (extra > 65536)
        return static_cast<void>(refuse("the PNG holds more image data than its size"));
    if (status != Z_STREAM_END)
        return static_cast<void>(refuse("the PNG's image data is not a complete zlib stream (damaged file)"));
}

void PictureHeader::readJpeg(const unsigned char* bytes, size_t size)
{
    // Every marker segment up to the end marker, the scans' entropy-coded
    // data included: the decoder is only given files whose every segment
    // lies inside them (the library's reader loops for ever when asked to
    // skip a segment past the end of the data).
    size_t position = 2;
    bool sawFrame = false;
    int scans = 0;
    for (;;) {
        if (position >= size)
            return static_cast<void>(refuse("the JPEG ends before its end marker (cut short)"));
        if (bytes[position] != 0xFF)
            return static_cast<void>(refuse("a JPEG with a damaged marker"));
        while (position < size && bytes[position] == 0xFF)
            ++position;
        if (position >= size)
            return static_cast<void>(refuse("the JPEG ends before its end marker (cut short)"));
        unsigned marker = bytes[position++];
        if (marker == 0xD9)
            break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;   // markers without a segment
        if (marker == 0x00 || marker == 0xD8)
            return static_cast<void>(refuse("a JPEG with a misplaced marker"));
        if (size - position < 2)
            return static_cast<void>(refuse("the JPEG ends inside a marker segment"));
        unsigned length = bigEndian16(bytes + position);
        if (length < 2 || length > size - position)
            return static_cast<void>(refuse("a JPEG marker segment runs past the end of the file"));
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (sawFrame)
                return static_cast<void>(refuse("a JPEG with a second frame header"));
            if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2)
                return static_cast<void>(refuse("a lossless, hierarchical or arithmetic-coded JPEG; "
                                                "baseline and progressive JPEGs are read"));
            const unsigned char* segment = bytes + position;
            if (length < 8)
                return static_cast<void>(refuse("a JPEG with a short frame header"));
            unsigned precision = segment[2];
            unsigned height = bigEndian16(segment + 3);
            unsigned width = bigEndian16(segment + 5);
            unsigned components = segment[7];
            if (precision != 8)
                return static_cast<void>(refuse("a JPEG of " + std::to_string(precision) +
                                                "-bit samples; 8-bit JPEGs are read"));
            if (components != 1 && components != 3)
                return static_cast<void>(refuse("a JPEG of " + std::to_string(components) +
                                                " components; grey and colour (1 or 3) are read"));
            if (length != 8 + 3 * components)
                return static_cast<void>(refuse("a JPEG with a damaged frame header"));
            for (unsigned c = 0; c < components; ++c) {
                unsigned sampling = segment[9 + 3 * c];
                unsigned h = sampling >> 4, v = sampling & 15;
                if (h < 1 || h > 4 || v < 1 || v > 4 || segment[10 + 3 * c] > 3)
                    return static_cast<void>(refuse("a JPEG with a damaged frame header"));
            }
            if (!setSize(static_cast<int>(width), height).usable())
                return;
            sawFrame = true;
        }
        position += length;
        if (marker == 0xDA) {
            if (!sawFrame)
                return static_cast<void>(refuse("a JPEG scan before the frame header"));
            if (++scans > maxJpegScans)
                return static_cast<void>(refuse("a JPEG of more than " + std::to_string(maxJpegScans) +
                                                " scans"));
            // Entropy-coded data: 0xFF in it is followed by 0 (a stuffed
            // byte) or a restart marker; anything else is the next marker.
            while (position < size &&
                   !(bytes[position] == 0xFF && position + 1 < size && bytes[position + 1] != 0 &&
                     (bytes[position + 1] < 0xD0 || bytes[position + 1] > 0xD7)))
                ++position;
        }
    }
    if (!sawFrame)
        refuse("the JPEG has no frame header");
    else if (scans == 0)
        refuse("a JPEG without image data");
}

void PictureHeader::readBmp(const unsigned char* bytes, size_t size)
{
    BmpPicture bmp(bytes, size);
    if (bmp.usable() && setSize(bmp.width(), bmp.height()).usable())
        bmp.checkData();
    if (!bmp.usable())
        refuse(bmp.problem());
}

void PictureHeader::readTga(const unsigned char* bytes, size_t size)
{
    TgaPicture tga(bytes, size);
    if (tga.usable() && setSize(tga.width(), tga.height()).usable())
        tga.checkData();
    if (!tga.usable())
        refuse(tga.problem());
}
