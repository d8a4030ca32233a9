#ifndef QUORIN_VERTEX_H
#define QUORIN_VERTEX_H

#include <cstdint>

// The element of every vertex buffer: 44 bytes, read by the platform with a
// stride of 44.
struct Vertex {
    float x, y, z;       // position
    float nx, ny, nz;    // normal
    uint32_t color;      // 0xAARRGGBB
    float u1, v1;        // first texture coordinates
    float u2, v2;        // second texture coordinates
};

static_assert(sizeof(Vertex) == 44, "Vertex must stay 44 bytes");

#endif
