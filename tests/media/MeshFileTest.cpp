#include "MediaFixture.h"

#include "BinaryMeshLoader.h"
#include "DataFile.h"
#include "IndexBuffer.h"
#include "Mesh.h"
#include "MeshLoader.h"
#include "RenderState.h"
#include "SubMesh.h"
#include "Texture.h"
#include "VertexBuffer.h"
#include "XmlMeshLoader.h"

#include <array>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// Writes binary mesh files the way the format lays them out, with every
// field open to tampering.
struct BinaryMesh {
    struct Part {
        uint32_t firstTriangle, triangles, firstVertex, vertices;
        std::string texture;
        bool unterminated = false;
    };
    uint16_t partSize = 276, vertexSize = 36, triangleSize = 12;
    uint16_t major = 1, minor = 0;
    std::vector<Part> parts;
    std::vector<Vertex> vertices;
    std::vector<std::array<uint32_t, 3>> triangles;
    // With overrideCounts the header carries these counts instead of the
    // real ones.
    bool overrideCounts = false;
    int32_t partCount = 0, vertexCount = 0, triangleCount = 0;

    static void put(std::string& out, const void* p, size_t n)
    {
        out.append(static_cast<const char*>(p), n);
    }
    static void u16(std::string& out, uint16_t v) { out += char(v & 255); out += char(v >> 8); }
    static void u32(std::string& out, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out += char((v >> (8 * i)) & 255);
    }
    static void f32(std::string& out, float f)
    {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        u32(out, u);
    }
    static void padTo(std::string& out, size_t start, size_t size)
    {
        while (out.size() < start + size)
            out += char(0xA5);   // junk the reader must skip
    }

    std::string bytes() const
    {
        std::string out = "CMSH\x7f\x01";
        u16(out, partSize);
        u16(out, vertexSize);
        u16(out, triangleSize);
        u16(out, major);
        u16(out, minor);
        u32(out, uint32_t(overrideCounts ? partCount : int32_t(parts.size())));
        u32(out, uint32_t(overrideCounts ? vertexCount : int32_t(vertices.size())));
        u32(out, uint32_t(overrideCounts ? triangleCount : int32_t(triangles.size())));
        for (const Part& p : parts) {
            size_t start = out.size();
            u32(out, p.firstTriangle);
            u32(out, p.triangles);
            u32(out, p.firstVertex);
            u32(out, p.vertices);
            std::string name = p.texture;
            name.resize(260, p.unterminated ? 'x' : '\0');
            out += name;
            padTo(out, start, partSize);
        }
        for (const Vertex& v : vertices) {
            size_t start = out.size();
            for (float f : {v.x, v.y, v.z, v.nx, v.ny, v.nz})
                f32(out, f);
            u32(out, v.color);
            f32(out, v.u1);
            f32(out, v.v1);
            padTo(out, start, vertexSize);
        }
        for (const auto& t : triangles) {
            size_t start = out.size();
            for (uint32_t i : t)
                u32(out, i);
            padTo(out, start, triangleSize);
        }
        return out;
    }
};

Vertex sampleVertex(int i)
{
    Vertex v;
    std::memset(&v, 0, sizeof v);
    v.x = float(i);
    v.y = -0.5f * i;
    v.z = 2.0f * i - 7;
    v.nx = 0;
    v.ny = 1;
    v.nz = 0.25f * i;
    v.color = 0x80FF0100u + uint32_t(i);   // alpha byte 0x80, kept as is
    v.u1 = 0.125f * i;
    v.v1 = 1 - 0.125f * i;
    v.u2 = 77;                             // the file has no second pair
    v.v2 = 77;
    return v;
}

// 30 vertices, 6 triangles; part 0 (textured) draws triangles 0-1 from
// vertices 0-9, part 1 triangles 2-5 from vertices 10-29.
BinaryMesh sampleBinary()
{
    BinaryMesh m;
    for (int i = 0; i < 30; ++i)
        m.vertices.push_back(sampleVertex(i));
    m.triangles = {{0, 1, 2}, {9, 3, 4}, {10, 11, 12}, {13, 14, 15}, {20, 25, 29}, {29, 28, 10}};
    m.parts = {{0, 2, 0, 10, "picture.png"}, {2, 4, 10, 20, ""}};
    return m;
}

struct Range {
    int start, count, minVertex, vertices;
};

Range rangeOf(const SubMesh* part)
{
    Range r;
    part->range(r.start, r.count, r.minVertex, r.vertices);
    return r;
}

const std::vector<Vertex>& verticesOf(const Mesh& mesh)
{
    return static_cast<RecordingVertexBuffer*>(mesh.vertexBuffer())->vertices();
}

const std::vector<uint32_t>& indicesOf(const Mesh& mesh)
{
    return static_cast<RecordingIndexBuffer*>(mesh.indexBuffer())->indices();
}

void expectSameVertex(const Vertex& got, const Vertex& want)
{
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.z, want.z);
    EXPECT_EQ(got.nx, want.nx);
    EXPECT_EQ(got.ny, want.ny);
    EXPECT_EQ(got.nz, want.nz);
    EXPECT_EQ(got.color, want.color);
    EXPECT_EQ(got.u1, want.u1);
    EXPECT_EQ(got.v1, want.v1);
    EXPECT_EQ(got.u2, 0);
    EXPECT_EQ(got.v2, 0);
}

} // namespace

class MeshFileTest : public MediaTest {
protected:
    std::unique_ptr<Mesh> loadBytes(const std::string& path, const std::string& bytes)
    {
        files.add(path, bytes);
        return std::unique_ptr<Mesh>(loadMesh(path));
    }
};

TEST_F(MeshFileTest, BinaryMeshLoadsEveryRecord)
{
    BinaryMesh file = sampleBinary();
    auto mesh = loadBytes("ship.cmsh", file.bytes());
    ASSERT_TRUE(mesh);

    ASSERT_EQ(mesh->subMeshCount(), 2);
    const SubMesh* textured = mesh->subMesh(0);
    const SubMesh* plain = mesh->subMesh(1);
    Range r0 = rangeOf(textured), r1 = rangeOf(plain);
    EXPECT_EQ(r0.start, 0); EXPECT_EQ(r0.count, 6); EXPECT_EQ(r0.minVertex, 0); EXPECT_EQ(r0.vertices, 10);
    EXPECT_EQ(r1.start, 6); EXPECT_EQ(r1.count, 12); EXPECT_EQ(r1.minVertex, 10); EXPECT_EQ(r1.vertices, 20);
    ASSERT_NE(textured->texture(0), nullptr);
    EXPECT_EQ(textured->texture(0)->width(), 318);
    EXPECT_EQ(textured->textureFile(0), "picture.png");
    EXPECT_EQ(textured->texture(1), nullptr);
    EXPECT_EQ(plain->texture(0), nullptr);
    for (const SubMesh* part : {textured, plain})
        EXPECT_EQ(part->stageState(0, RenderStateType::textureMode), RenderStateValue::textureWrap);

    ASSERT_EQ(verticesOf(*mesh).size(), 30u);
    for (int i = 0; i < 30; ++i)
        expectSameVertex(verticesOf(*mesh)[i], file.vertices[i]);
    const std::vector<uint32_t> indices = {0, 1, 2, 9, 3, 4, 10, 11, 12, 13, 14, 15, 20, 25, 29, 29, 28, 10};
    EXPECT_EQ(indicesOf(*mesh), indices);
    EXPECT_FALSE(mesh->vertexBuffer()->isDynamic());
    EXPECT_FALSE(mesh->indexBuffer()->isDynamic());
    EXPECT_FLOAT_EQ(mesh->boxMin()[2], -7);
    EXPECT_FLOAT_EQ(mesh->boxMax()[2], 51);
}

TEST_F(MeshFileTest, BinaryRecordsAreSteppedByTheSizesTheHeaderGives)
{
    BinaryMesh wide = sampleBinary();
    wide.partSize = 300;
    wide.vertexSize = 40;
    wide.triangleSize = 16;
    auto mesh = loadBytes("wide.cmsh", wide.bytes());
    ASSERT_TRUE(mesh);
    for (int i = 0; i < 30; ++i)
        expectSameVertex(verticesOf(*mesh)[i], wide.vertices[i]);
    EXPECT_EQ(indicesOf(*mesh)[17], 10u);
    EXPECT_EQ(rangeOf(mesh->subMesh(1)).minVertex, 10);
}

TEST_F(MeshFileTest, BinaryVersionMustBeOneZero)
{
    struct Case {
        uint16_t major, minor;
        bool loads;
    };
    for (Case c : {Case{1, 0, true}, Case{1, 1, false}, Case{2, 0, false}, Case{0, 0, false}}) {
        BinaryMesh file = sampleBinary();
        file.major = c.major;
        file.minor = c.minor;
        device.clearCalls();
        auto mesh = loadBytes("v.cmsh", file.bytes());
        EXPECT_EQ(mesh != nullptr, c.loads) << c.major << "." << c.minor;
        EXPECT_EQ(created() > 0, c.loads);
    }
}

TEST_F(MeshFileTest, BinaryMeshWithoutPartsStillHasItsBuffersAndBox)
{
    BinaryMesh file = sampleBinary();
    file.parts.clear();
    auto mesh = loadBytes("bare.cmsh", file.bytes());
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->subMeshCount(), 0);
    EXPECT_EQ(mesh->vertexBuffer()->count(), 30);
    EXPECT_EQ(mesh->indexBuffer()->count(), 18);
    float x, y, z;
    mesh->getExtents(x, y, z);
    EXPECT_FLOAT_EQ(x, 29);
    device.clearCalls();
    mesh->draw();
    EXPECT_EQ(device.count("drawIndexed"), 0);
}

TEST_F(MeshFileTest, EveryTruncationOfABinaryMeshIsRefusedWithNothingCreated)
{
    const std::string whole = sampleBinary().bytes();
    for (size_t n = 0; n < whole.size(); ++n) {
        DataFile file("cut.cmsh", whole.data(), static_cast<int>(n));
        BinaryMeshLoader loader;
        std::unique_ptr<Mesh> mesh(loader.load(&file, false));
        EXPECT_EQ(mesh, nullptr) << n << " bytes";
    }
    EXPECT_EQ(created(), 0);
}

TEST_F(MeshFileTest, BinaryMeshThatBreaksItsLayoutIsRefusedWithNothingCreated)
{
    struct Case {
        const char* what;
        std::function<void(BinaryMesh&)> spoil;
    };
    const Case cases[] = {
        {"negative vertex count", [](BinaryMesh& m) { m.overrideCounts = true; m.partCount = 2; m.vertexCount = -1; m.triangleCount = 6; }},
        {"negative triangle count", [](BinaryMesh& m) { m.overrideCounts = true; m.partCount = 2; m.vertexCount = 30; m.triangleCount = -6; }},
        {"counts far beyond the file", [](BinaryMesh& m) { m.overrideCounts = true; m.partCount = 2; m.vertexCount = 0x7fffffff; m.triangleCount = 0x7fffffff; }},
        {"part record smaller than its layout", [](BinaryMesh& m) { m.partSize = 275; }},
        {"vertex record smaller than its layout", [](BinaryMesh& m) { m.vertexSize = 20; }},
        {"triangle record smaller than its layout", [](BinaryMesh& m) { m.triangleSize = 8; }},
        {"texture name without NUL", [](BinaryMesh& m) { m.parts[0].unterminated = true; }},
        {"part triangles past the mesh", [](BinaryMesh& m) { m.parts[1].triangles = 5; }},
        {"part first triangle wraps around", [](BinaryMesh& m) { m.parts[1].firstTriangle = 0xffffffffu; }},
        {"part vertices past the mesh", [](BinaryMesh& m) { m.parts[1].vertices = 21; }},
        {"index past the vertices", [](BinaryMesh& m) { m.triangles[3][1] = 30; }},
        {"index outside its part's vertices", [](BinaryMesh& m) { m.triangles[0][2] = 10; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BinaryMesh file = sampleBinary();
        c.spoil(file);
        EXPECT_EQ(loadBytes("bad.cmsh", file.bytes()), nullptr);
        EXPECT_EQ(created(), 0);
    }
}

TEST_F(MeshFileTest, TwoPartsNamingOneFileGetTwoTextures)
{
    BinaryMesh file = sampleBinary();
    file.parts[1].texture = "picture.png";
    auto mesh = loadBytes("two.cmsh", file.bytes());
    ASSERT_TRUE(mesh);
    EXPECT_NE(mesh->subMesh(0)->texture(0), mesh->subMesh(1)->texture(0));
    EXPECT_EQ(liveTextures(), 2);
}

namespace {

// A small XML mesh: 4 vertices, 3 triangles, three parts given out of
// order, with one duplicate and two materials that make no part.
const char* sampleXml = R"(<?xml version="1.0"?>
<mesh>
  <materials count="2">
    <material index="1"><triangle start="1" count="2"/><vertex start="1" count="3"/>
      <texture filename="picture.png"/></material>
    <material index="0"><triangle start="0" count="1"/><vertex start="0" count="3"/></material>
    <material index="2"><triangle start="0" count="1"/><vertex start="0" count="3"/></material>
    <material><triangle start="0" count="1"/><vertex start="0" count="3"/></material>
    <material index="0"><triangle start="0" count="3"/><vertex start="0" count="4"/></material>
  </materials>
  <vertices count="4">
    <vertice index="0"><position x="1" y="2" z="3"/><normal x="0" y="0" z="1"/>
      <color r="255" g="128" b="0"/><texel u="0.5" v="0.25"/></vertice>
    <!-- a comment among the entries -->
    <other index="3"/>
    <vertice index="1"><position x="-1" y="0" z="0"/><normal x="0" y="1" z="0"/>
      <color r="256" g="0" b="0"/><texel u="1" v="1"/></vertice>
    <vertice index="2"><position x="9" y="9" z="9"/><normal x="0" y="0" z="0"/>
      <color r="0" g="0" b="0"/><texel u="0" v="0"/></vertice>
    <vertice index="2"><position x="0" y="5" z="-2"/><normal x="1" y="0" z="0"/>
      <color r="1" g="2" b="3"/><texel u="2" v="3"/></vertice>
    <vertice index="3"><position x="0.5" y="0.5" z="0.5"/><normal x="0" y="0" z="1"/>
      <color r="0" g="0" b="255"/><texel u="0" v="1"/></vertice>
  </vertices>
  <triangles count="3">
    <triangle index="2"><vertices vert1="3" vert2="2" vert3="1"/></triangle>
    <triangle index="0"><vertices vert1="0" vert2="1" vert3="2"/></triangle>
    <triangle index="1"><vertices vert1="1" vert2="2" vert3="3"/></triangle>
  </triangles>
</mesh>
)";

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

TEST_F(MeshFileTest, XmlMeshLoadsPartsInIndexOrderAndEveryEntry)
{
    auto mesh = loadBytes("ship.msh", sampleXml);
    ASSERT_TRUE(mesh);

    // Parts by index: the two of index 0 in document order, then index 1.
    ASSERT_EQ(mesh->subMeshCount(), 3);
    Range a = rangeOf(mesh->subMesh(0)), b = rangeOf(mesh->subMesh(1)), c = rangeOf(mesh->subMesh(2));
    EXPECT_EQ(a.count, 3);
    EXPECT_EQ(b.count, 9);
    EXPECT_EQ(b.vertices, 4);
    EXPECT_EQ(c.start, 3); EXPECT_EQ(c.count, 6); EXPECT_EQ(c.minVertex, 1); EXPECT_EQ(c.vertices, 3);
    EXPECT_EQ(mesh->subMesh(0)->texture(0), nullptr);
    EXPECT_EQ(mesh->subMesh(0)->stageState(0, RenderStateType::textureMode), RenderStateValue::textureWrap);
    ASSERT_NE(mesh->subMesh(2)->texture(0), nullptr);
    EXPECT_EQ(mesh->subMesh(2)->textureFile(0), "picture.png");

    const std::vector<Vertex>& v = verticesOf(*mesh);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].color, 0x00FF8000u);
    EXPECT_EQ(v[1].color, 0x01000000u);   // channels are not masked
    EXPECT_EQ(v[2].color, 0x00010203u);   // the later entry of index 2 wins
    EXPECT_FLOAT_EQ(v[2].y, 5);
    EXPECT_FLOAT_EQ(v[0].u1, 0.5f);
    EXPECT_FLOAT_EQ(v[0].v1, 0.25f);
    EXPECT_FLOAT_EQ(v[2].nx, 1);
    EXPECT_EQ(v[3].u2, 0);
    EXPECT_EQ(v[3].v2, 0);
    const std::vector<uint32_t> indices = {0, 1, 2, 1, 2, 3, 3, 2, 1};
    EXPECT_EQ(indicesOf(*mesh), indices);
    EXPECT_FLOAT_EQ(mesh->boxMin()[0], -1);
    EXPECT_FLOAT_EQ(mesh->boxMax()[1], 5);
}

TEST_F(MeshFileTest, XmlMeshMissingOrOutOfRangeDataIsRefusedWithNothingCreated)
{
    struct Case {
        const char* what;
        std::string text;
    };
    const std::string s = sampleXml;
    const Case cases[] = {
        {"not XML", "this is no mesh"},
        {"no top element", "<!-- nothing -->"},
        {"no materials", replaced(replaced(s, "<materials count=\"2\">", "<stuff>"), "</materials>", "</stuff>")},
        {"no vertex count", replaced(s, "<vertices count=\"4\">", "<vertices>")},
        {"negative triangle count", replaced(s, "<triangles count=\"3\">", "<triangles count=\"-3\">")},
        {"huge vertex count", replaced(s, "<vertices count=\"4\">", "<vertices count=\"2000000000\">")},
        {"material without vertex range", replaced(s, "<vertex start=\"0\" count=\"4\"/>", "")},
        {"texture without filename", replaced(s, "filename=\"picture.png\"", "file=\"picture.png\"")},
        {"part past the triangles", replaced(s, "<triangle start=\"1\" count=\"2\"/>", "<triangle start=\"2\" count=\"2\"/>")},
        {"part past the vertices", replaced(s, "<vertex start=\"1\" count=\"3\"/>", "<vertex start=\"2\" count=\"3\"/>")},
        {"vertice without index", replaced(s, "<vertice index=\"3\">", "<vertice>")},
        {"vertice index past the count", replaced(s, "<vertice index=\"3\">", "<vertice index=\"4\">")},
        {"vertice without normal", replaced(s, "<normal x=\"0\" y=\"1\" z=\"0\"/>", "")},
        {"color without blue", replaced(s, "<color r=\"1\" g=\"2\" b=\"3\"/>", "<color r=\"1\" g=\"2\"/>")},
        {"triangle index past the count", replaced(s, "<triangle index=\"2\">", "<triangle index=\"3\">")},
        {"triangle without its vertices", replaced(s, "<vertices vert1=\"0\" vert2=\"1\" vert3=\"2\"/>", "")},
        {"triangle vertex past the mesh", replaced(s, "vert1=\"3\" vert2=\"2\"", "vert1=\"4\" vert2=\"2\"")},
        {"triangle vertex outside its part", replaced(s, "vert1=\"0\" vert2=\"1\" vert3=\"2\"", "vert1=\"0\" vert2=\"1\" vert3=\"3\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(loadBytes("bad.msh", c.text), nullptr);
        EXPECT_EQ(created(), 0);
    }
}

TEST_F(MeshFileTest, LoaderIsChosenByTheExactExtension)
{
    const std::string binary = sampleBinary().bytes();
    struct Case {
        const char* path;
        const std::string* bytes;
        int parts;   // -1: no mesh
    };
    const std::string xml = sampleXml;
    const Case cases[] = {
        {"ship.cmsh", &binary, 2},  {"SHIP.CMSH", &binary, 2}, {"ship.msh", &xml, 3},
        {"ship.x", &binary, -1},    {"ship.v2.cmsh", &binary, -1},
        {"ship.msh.bak", &xml, -1}, {"shipmsh", &xml, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto mesh = loadBytes(c.path, *c.bytes);
        EXPECT_EQ(mesh ? mesh->subMeshCount() : -1, c.parts);
    }
    EXPECT_EQ(loadMesh("missing.cmsh"), nullptr);
    EXPECT_EQ(loadMeshData(nullptr), nullptr);
}

TEST_F(MeshFileTest, MeshesWrittenByTheContentToolLoadInBothFormats)
{
    const std::string binary = readFile(QUORIN_TOOL_MESHES "/cube.cmsh");
    const std::string xml = readFile(QUORIN_TOOL_MESHES "/cube.msh");
    ASSERT_FALSE(binary.empty());
    ASSERT_FALSE(xml.empty());
    auto fromBinary = loadBytes("cube.cmsh", binary);
    auto fromXml = loadBytes("cube.msh", xml);
    ASSERT_TRUE(fromBinary);
    ASSERT_TRUE(fromXml);

    for (const Mesh* mesh : {fromBinary.get(), fromXml.get()}) {
        ASSERT_EQ(mesh->subMeshCount(), 1);
        Range r = rangeOf(mesh->subMesh(0));
        EXPECT_EQ(r.start, 0);
        EXPECT_EQ(r.count, 36);
        EXPECT_EQ(r.minVertex, 0);
        EXPECT_EQ(r.vertices, 24);
        EXPECT_NE(mesh->subMesh(0)->texture(0), nullptr);
        EXPECT_EQ(mesh->subMesh(0)->textureFile(0), "picture.png");
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_FLOAT_EQ(mesh->boxMin()[axis], -0.5f);
            EXPECT_FLOAT_EQ(mesh->boxMax()[axis], 0.5f);
        }
    }
    EXPECT_EQ(indicesOf(*fromBinary), indicesOf(*fromXml));
    const std::vector<Vertex>& a = verticesOf(*fromBinary);
    const std::vector<Vertex>& b = verticesOf(*fromXml);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        Vertex expected = a[i];
        expected.color &= 0x00FFFFFF;   // the XML format carries no alpha
        expectSameVertex(b[i], expected);
    }
}
