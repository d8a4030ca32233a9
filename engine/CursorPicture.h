#ifndef QUORIN_CURSORPICTURE_H
#define QUORIN_CURSORPICTURE_H

#include <cstdint>

// The hand-shaped mouse pointer (index finger up), as the two 32 x 32 one-bit
// masks Device::setCursor takes: 128 bytes each, 4 bytes a row, leftmost
// pixel in the most significant bit; data 1 + mask 1 black, data 0 + mask 1
// white, mask 0 transparent. The masks are process-wide storage, rewritten at
// each call.
void decodeCursorPicture(const uint8_t** data, const uint8_t** mask, int* hotX, int* hotY);

#endif
