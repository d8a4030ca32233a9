#include "BinaryMeshLoader.h"

#include "DataFile.h"
#include "IndexBuffer.h"
#include "Mesh.h"
#include "RenderState.h"
#include "SubMesh.h"
#include "Texture.h"
#include "VertexBuffer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const int headerSize = 28;
const int partLayoutSize = 276;
const int vertexLayoutSize = 36;
const int triangleLayoutSize = 12;
const int textureNameSize = 260;

uint16_t readU16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t readU32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t readI32(const unsigned char* p)
{
    uint32_t u = readU32(p);
    int32_t i;
    std::memcpy(&i, &u, sizeof i);
    return i;
}

float readF32(const unsigned char* p)
{
    uint32_t u = readU32(p);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

struct Header {
    int partSize, vertexSize, triangleSize;
    int major, minor;
    int parts, vertices, triangles;
};

Mesh* refuse(const DataFile* file, const char* why)
{
    std::fprintf(stderr, "%s: bad binary mesh: %s\n", file->path().c_str(), why);
    return nullptr;
}

} // namespace

BinaryMeshLoader::~BinaryMeshLoader() = default;

Mesh* BinaryMeshLoader::load(DataFile* file, bool dynamic)
{
    if (!file)
        return nullptr;
    const unsigned char* bytes = file->data();
    const long long size = file->size();
    if (size < headerSize)
        return refuse(file, "shorter than its header");

    Header h;
    h.partSize = readU16(bytes + 6);
    h.vertexSize = readU16(bytes + 8);
    h.triangleSize = readU16(bytes + 10);
    h.major = readU16(bytes + 12);
    h.minor = readU16(bytes + 14);
    h.parts = readI32(bytes + 16);
    h.vertices = readI32(bytes + 20);
    h.triangles = readI32(bytes + 24);

    if (h.major != 1 || h.minor != 0)
        return refuse(file, "version is not 1.0");
    // A part count of 0 or less means no parts.
    const long long parts = h.parts > 0 ? h.parts : 0;
    if (h.vertices < 0 || h.triangles < 0)
        return refuse(file, "negative vertex or triangle count");
    if ((parts > 0 && h.partSize < partLayoutSize) ||
        (h.vertices > 0 && h.vertexSize < vertexLayoutSize) ||
        (h.triangles > 0 && h.triangleSize < triangleLayoutSize))
        return refuse(file, "record size smaller than its layout");

    const long long partsAt = headerSize;
    const long long verticesAt = partsAt + parts * h.partSize;
    const long long trianglesAt = verticesAt + static_cast<long long>(h.vertices) * h.vertexSize;
    const long long end = trianglesAt + static_cast<long long>(h.triangles) * h.triangleSize;
    if (end > size)
        return refuse(file, "shorter than the records it announces");

    // Every triangle index must name a vertex.
    for (long long t = 0; t < h.triangles; ++t) {
        const unsigned char* record = bytes + trianglesAt + t * h.triangleSize;
        for (int k = 0; k < 3; ++k)
            if (readU32(record + 4 * k) >= static_cast<uint32_t>(h.vertices))
                return refuse(file, "triangle index outside the vertices");
    }

    // Every part must lie inside the mesh, use only its own vertices and
    // name its texture with a terminated string.
    for (long long p = 0; p < parts; ++p) {
        const unsigned char* record = bytes + partsAt + p * h.partSize;
        const unsigned long long firstTriangle = readU32(record);
        const unsigned long long triangles = readU32(record + 4);
        const unsigned long long firstVertex = readU32(record + 8);
        const unsigned long long vertices = readU32(record + 12);
        if (firstTriangle + triangles > static_cast<unsigned long long>(h.triangles))
            return refuse(file, "part triangles outside the mesh");
        if (firstVertex + vertices > static_cast<unsigned long long>(h.vertices))
            return refuse(file, "part vertices outside the mesh");
        if (!std::memchr(record + 16, 0, textureNameSize))
            return refuse(file, "texture name without its terminating NUL");
        for (unsigned long long t = firstTriangle; t < firstTriangle + triangles; ++t) {
            const unsigned char* triangle = bytes + trianglesAt + t * h.triangleSize;
            for (int k = 0; k < 3; ++k) {
                unsigned long long index = readU32(triangle + 4 * k);
                if (index < firstVertex || index >= firstVertex + vertices)
                    return refuse(file, "part uses a vertex outside its range");
            }
        }
    }

    // The file is sound: build the mesh.
    Mesh* mesh = new Mesh();
    for (long long p = 0; p < parts; ++p) {
        const unsigned char* record = bytes + partsAt + p * h.partSize;
        SubMesh* part = mesh->addSubMesh();
        part->setRange(3 * static_cast<int>(readU32(record)), 3 * static_cast<int>(readU32(record + 4)),
                       static_cast<int>(readU32(record + 8)), static_cast<int>(readU32(record + 12)));
        part->setStageState(0, RenderStateType::textureMode, RenderStateValue::textureWrap);
        std::string name(reinterpret_cast<const char*>(record + 16));
        if (!name.empty())
            part->setTexture(0, loadTexture(false, name, true), name);
    }

    VertexBuffer* vertexBuffer = createVertexBuffer(dynamic, h.vertices);
    if (vertexBuffer) {
        Vertex* out = vertexBuffer->lock();
        for (int i = 0; out && i < h.vertices; ++i) {
            const unsigned char* record = bytes + verticesAt + static_cast<long long>(i) * h.vertexSize;
            Vertex& v = out[i];
            v.x = readF32(record);
            v.y = readF32(record + 4);
            v.z = readF32(record + 8);
            v.nx = readF32(record + 12);
            v.ny = readF32(record + 16);
            v.nz = readF32(record + 20);
            v.color = readU32(record + 24);
            v.u1 = readF32(record + 28);
            v.v1 = readF32(record + 32);
            v.u2 = 0;
            v.v2 = 0;
        }
        vertexBuffer->unlock();
    }
    mesh->setVertexBuffer(vertexBuffer);

    IndexBuffer* indexBuffer = createIndexBuffer(dynamic, 3 * h.triangles);
    if (indexBuffer) {
        uint32_t* out = indexBuffer->lock();
        for (int t = 0; out && t < h.triangles; ++t) {
            const unsigned char* record = bytes + trianglesAt + static_cast<long long>(t) * h.triangleSize;
            for (int k = 0; k < 3; ++k)
                out[3 * t + k] = readU32(record + 4 * k);
        }
        indexBuffer->unlock();
    }
    mesh->setIndexBuffer(indexBuffer);
    return mesh;
}
