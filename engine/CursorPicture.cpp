#include "CursorPicture.h"

#include <cstdio>
#include <cstring>

namespace {

// 'X' black, '.' white, anything else transparent; the last line is the
// hotspot (column, row): the fingertip.
const char* const handPicture[33] = {
    " XXX                            ",
    " X..X                           ",
    " X..X                           ",
    "  X..XXXXX                      ",
    "  X..X..X.XXX                   ",
    "   X..X..X.X.X                  ",
    "   X..........X                 ",
    " XXXX.........X                 ",
    "X..XX.........X                 ",
    "X....X........X                 ",
    " XX...........X                 ",
    "   XX.........X                 ",
    "     X........                  ",
    "      X.....                    ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "1,0",
};

uint8_t cursorData[128];
uint8_t cursorMask[128];

}

void decodeCursorPicture(const uint8_t** data, const uint8_t** mask, int* hotX, int* hotY)
{
    std::memset(cursorData, 0, sizeof cursorData);
    std::memset(cursorMask, 0, sizeof cursorMask);
    for (int j = 0; j < 32; ++j) {
        const char* row = handPicture[j];
        for (int k = 0; k < 32 && row[k] != '\0'; ++k) {
            int b = 4 * j + k / 8;
            uint8_t bit = static_cast<uint8_t>(0x80u >> (k % 8));
            if (row[k] == 'X') {
                cursorData[b] |= bit;
                cursorMask[b] |= bit;
            } else if (row[k] == '.') {
                cursorMask[b] |= bit;
            }
        }
    }
    int x = 0;
    int y = 0;
    std::sscanf(handPicture[32], "%d,%d", &x, &y);
    if (data)
        *data = cursorData;
    if (mask)
        *mask = cursorMask;
    if (hotX)
        *hotX = x;
    if (hotY)
        *hotY = y;
}
