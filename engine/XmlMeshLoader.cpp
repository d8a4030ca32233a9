#include "XmlMeshLoader.h"

#include "DataFile.h"
#include "IndexBuffer.h"
#include "Mesh.h"
#include "RenderState.h"
#include "SubMesh.h"
#include "Texture.h"
#include "Vertex.h"
#include "VertexBuffer.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct PartDesc {
    int index;       // part number, the sort key
    int order;       // document order among the materials
    int triangleStart, triangleCount;
    int vertexStart, vertexCount;
    bool textured;
    std::string texture;
};

// Why a document was refused; empty while it is sound.
struct Check {
    std::string problem;
    bool fail(const std::string& why)
    {
        if (problem.empty())
            problem = why;
        return false;
    }
};

bool readInt(const XmlNode* node, const char* name, int& out)
{
    const XmlAttribute* attribute = node ? node->findAttribute(name) : nullptr;
    if (!attribute)
        return false;
    out = attribute->valueAsInt();
    return true;
}

bool readFloat(const XmlNode* node, const char* name, float& out)
{
    const XmlAttribute* attribute = node ? node->findAttribute(name) : nullptr;
    if (!attribute)
        return false;
    out = static_cast<float>(attribute->valueAsFloat());
    return true;
}

// The list element and its count, which must lie in 0 .. limit.
const XmlNode* findList(const XmlNode* root, const char* name, long long limit, int& count,
                        Check& check)
{
    const XmlNode* list = root->findElement(name);
    if (!list) {
        check.fail(std::string("no \"") + name + "\" element");
        return nullptr;
    }
    if (!readInt(list, "count", count)) {
        check.fail(std::string("\"") + name + "\" has no count");
        return nullptr;
    }
    if (count < 0 || count > limit) {
        check.fail(std::string("\"") + name + "\" count out of range");
        return nullptr;
    }
    return list;
}

bool readParts(const XmlNode* materials, int partCount, std::vector<PartDesc>& parts, Check& check)
{
    for (int i = 0; i < materials->childCount(); ++i) {
        const XmlNode* material = materials->child(i);
        if (material->name() != "material")
            continue;
        PartDesc part;
        if (!readInt(material, "index", part.index) || part.index < 0 || part.index >= partCount)
            continue;
        part.order = i;
        const XmlNode* triangle = material->findElement("triangle");
        const XmlNode* vertex = material->findElement("vertex");
        if (!readInt(triangle, "start", part.triangleStart) ||
            !readInt(triangle, "count", part.triangleCount))
            return check.fail("a material lacks its triangle start or count");
        if (!readInt(vertex, "start", part.vertexStart) || !readInt(vertex, "count", part.vertexCount))
            return check.fail("a material lacks its vertex start or count");
        const XmlNode* texture = material->findElement("texture");
        part.textured = texture != nullptr;
        if (texture) {
            const XmlAttribute* filename = texture->findAttribute("filename");
            if (!filename)
                return check.fail("a texture has no filename");
            part.texture = filename->value();
        }
        parts.push_back(part);
    }
    // Ordered by part number; several materials of one number keep their
    // document order.
    std::stable_sort(parts.begin(), parts.end(),
                     [](const PartDesc& a, const PartDesc& b) { return a.index < b.index; });
    return true;
}

bool readVertices(const XmlNode* list, std::vector<Vertex>& vertices, Check& check)
{
    const int count = static_cast<int>(vertices.size());
    for (int i = 0; i < list->childCount(); ++i) {
        const XmlNode* entry = list->child(i);
        if (entry->name() != "vertice")
            continue;
        int k;
        if (!readInt(entry, "index", k))
            return check.fail("a vertice has no index");
        if (k < 0 || k >= count)
            return check.fail("a vertice index lies outside the vertex count");
        const XmlNode* position = entry->findElement("position");
        const XmlNode* normal = entry->findElement("normal");
        const XmlNode* color = entry->findElement("color");
        const XmlNode* texel = entry->findElement("texel");
        Vertex v;
        int r, g, b;
        if (!readFloat(position, "x", v.x) || !readFloat(position, "y", v.y) ||
            !readFloat(position, "z", v.z))
            return check.fail("a vertice lacks its position");
        if (!readFloat(normal, "x", v.nx) || !readFloat(normal, "y", v.ny) ||
            !readFloat(normal, "z", v.nz))
            return check.fail("a vertice lacks its normal");
        if (!readInt(color, "r", r) || !readInt(color, "g", g) || !readInt(color, "b", b))
            return check.fail("a vertice lacks its color");
        if (!readFloat(texel, "u", v.u1) || !readFloat(texel, "v", v.v1))
            return check.fail("a vertice lacks its texel");
        // The channels as read, not masked.
        v.color = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
                  static_cast<uint32_t>(b);
        v.u2 = 0;
        v.v2 = 0;
        vertices[k] = v;
    }
    return true;
}

bool readTriangles(const XmlNode* list, int vertexCount, std::vector<uint32_t>& indices,
                   Check& check)
{
    const int count = static_cast<int>(indices.size() / 3);
    static const char* const names[3] = {"vert1", "vert2", "vert3"};
    for (int i = 0; i < list->childCount(); ++i) {
        const XmlNode* entry = list->child(i);
        if (entry->name() != "triangle")
            continue;
        int t;
        if (!readInt(entry, "index", t))
            return check.fail("a triangle has no index");
        if (t < 0 || t >= count)
            return check.fail("a triangle index lies outside the triangle count");
        const XmlNode* corners = entry->findElement("vertices");
        for (int k = 0; k < 3; ++k) {
            int vertex;
            if (!readInt(corners, names[k], vertex))
                return check.fail("a triangle lacks one of its vertices");
            if (vertex < 0 || vertex >= vertexCount)
                return check.fail("a triangle names a vertex outside the mesh");
            indices[3 * static_cast<size_t>(t) + k] = static_cast<uint32_t>(vertex);
        }
    }
    return true;
}

bool checkParts(const std::vector<PartDesc>& parts, int vertexCount,
                const std::vector<uint32_t>& indices, Check& check)
{
    const long long triangleCount = static_cast<long long>(indices.size() / 3);
    for (const PartDesc& part : parts) {
        if (part.triangleStart < 0 || part.triangleCount < 0 ||
            part.triangleStart + static_cast<long long>(part.triangleCount) > triangleCount)
            return check.fail("a part's triangles lie outside the mesh");
        if (part.vertexStart < 0 || part.vertexCount < 0 ||
            part.vertexStart + static_cast<long long>(part.vertexCount) > vertexCount)
            return check.fail("a part's vertices lie outside the mesh");
        const long long first = 3LL * part.triangleStart;
        const long long end = first + 3LL * part.triangleCount;
        for (long long i = first; i < end; ++i) {
            long long index = indices[i];
            if (index < part.vertexStart || index >= part.vertexStart + static_cast<long long>(part.vertexCount))
                return check.fail("a part uses a vertex outside its range");
        }
    }
    return true;
}

} // namespace

XmlMeshLoader::~XmlMeshLoader() = default;

Mesh* XmlMeshLoader::load(DataFile* file, bool dynamic)
{
    if (!file)
        return nullptr;
    std::unique_ptr<XmlDocument> document(parseXml(file));
    const XmlNode* root = document ? document->root() : nullptr;
    if (!root) {
        std::fprintf(stderr, "%s: bad XML mesh: no document\n", file->path().c_str());
        return nullptr;
    }

    // No list can be longer than the file has bytes: that keeps a hostile
    // count from asking for a huge buffer (and three indices a triangle
    // within an int).
    const long long limit = std::min<long long>(file->size(), INT_MAX / 3);
    Check check;
    int partCount = 0, vertexCount = 0, triangleCount = 0;
    std::vector<PartDesc> parts;
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
    const XmlNode* materials = findList(root, "materials", limit, partCount, check);
    const XmlNode* vertexList = materials ? findList(root, "vertices", limit, vertexCount, check) : nullptr;
    const XmlNode* triangleList = vertexList ? findList(root, "triangles", limit, triangleCount, check) : nullptr;
    if (triangleList) {
        Vertex zero;
        std::memset(&zero, 0, sizeof zero);
        vertices.assign(vertexCount, zero);
        indices.assign(3 * static_cast<size_t>(triangleCount), 0);
        if (readParts(materials, partCount, parts, check) && readVertices(vertexList, vertices, check) &&
            readTriangles(triangleList, vertexCount, indices, check))
            checkParts(parts, vertexCount, indices, check);
    }
    if (!check.problem.empty()) {
        std::fprintf(stderr, "%s: bad XML mesh: %s\n", file->path().c_str(), check.problem.c_str());
        return nullptr;
    }

    Mesh* mesh = new Mesh();
    for (const PartDesc& desc : parts) {
        SubMesh* part = mesh->addSubMesh();
        part->setRange(3 * desc.triangleStart, 3 * desc.triangleCount, desc.vertexStart, desc.vertexCount);
        part->setStageState(0, RenderStateType::textureMode, RenderStateValue::textureWrap);
        if (desc.textured)
            part->setTexture(0, loadTexture(false, desc.texture, true), desc.texture);
    }

    VertexBuffer* vertexBuffer = createVertexBuffer(dynamic, vertexCount);
    if (vertexBuffer) {
        if (Vertex* out = vertexBuffer->lock())
            std::copy(vertices.begin(), vertices.end(), out);
        vertexBuffer->unlock();
    }
    mesh->setVertexBuffer(vertexBuffer);

    IndexBuffer* indexBuffer = createIndexBuffer(dynamic, 3 * triangleCount);
    if (indexBuffer) {
        if (uint32_t* out = indexBuffer->lock())
            std::copy(indices.begin(), indices.end(), out);
        indexBuffer->unlock();
    }
    mesh->setIndexBuffer(indexBuffer);
    return mesh;
}
