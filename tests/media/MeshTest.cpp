#include "MediaFixture.h"

#include "IndexBuffer.h"
#include "Mesh.h"
#include "RenderState.h"
#include "SubMesh.h"
#include "Texture.h"
#include "VertexBuffer.h"

#include <array>
#include <memory>

namespace {

VertexBuffer* filledVertices(const std::vector<std::array<float, 3>>& positions)
{
    VertexBuffer* buffer = createVertexBuffer(false, static_cast<int>(positions.size()));
    Vertex* v = buffer->lock();
    for (size_t i = 0; i < positions.size(); ++i) {
        v[i].x = positions[i][0];
        v[i].y = positions[i][1];
        v[i].z = positions[i][2];
    }
    buffer->unlock();
    return buffer;
}

IndexBuffer* filledIndices(int count)
{
    IndexBuffer* buffer = createIndexBuffer(false, count);
    uint32_t* p = buffer->lock();
    for (int i = 0; i < count; ++i)
        p[i] = 0;
    buffer->unlock();
    return buffer;
}

} // namespace

class MeshTest : public MediaTest {};

TEST_F(MeshTest, BoxSpansTheVertexPositionsOnEachAxis)
{
    struct Case {
        const char* what;
        std::vector<std::array<float, 3>> positions;
        std::array<float, 3> min, max;
    };
    const Case cases[] = {
        {"single vertex", {{1, 2, 3}}, {1, 2, 3}, {1, 2, 3}},
        {"flat in y", {{0, 5, 0}, {2, 5, -1}, {-1, 5, 4}}, {-1, 5, -1}, {2, 5, 4}},
        {"extremes on different vertices, repeated",
         {{3, -1, 0}, {-2, 7, 1}, {3, -1, 0}, {0, 0, -9}, {-2, 7, 1}},
         {-2, -1, -9},
         {3, 7, 1}},
        {"no vertices", {}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mesh mesh;
        mesh.setVertexBuffer(filledVertices(c.positions));
        float x, y, z;
        mesh.getExtents(x, y, z);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_FLOAT_EQ(mesh.boxMin()[axis], c.min[axis]);
            EXPECT_FLOAT_EQ(mesh.boxMax()[axis], c.max[axis]);
        }
        EXPECT_FLOAT_EQ(x, c.max[0] - c.min[0]);
        EXPECT_FLOAT_EQ(y, c.max[1] - c.min[1]);
        EXPECT_FLOAT_EQ(z, c.max[2] - c.min[2]);
    }
}

TEST_F(MeshTest, BoxIsTakenOnceWhenTheBufferIsAttached)
{
    Mesh mesh;
    VertexBuffer* buffer = filledVertices({{0, 0, 0}, {1, 1, 1}});
    mesh.setVertexBuffer(buffer);
    buffer->lock()[1].x = 50;
    buffer->unlock();
    float x, y, z;
    mesh.getExtents(x, y, z);
    EXPECT_FLOAT_EQ(x, 1);
    auto* recorded = static_cast<RecordingVertexBuffer*>(buffer);
    EXPECT_EQ(recorded->locks(), recorded->unlocks());
}

TEST_F(MeshTest, DrawSetsUpEachPartsStagesDrawsAndClearsThem)
{
    Texture* t0 = createBlankTexture(false, 1, 1);
    Texture* t1 = createBlankTexture(false, 1, 1);
    Mesh mesh;
    mesh.setVertexBuffer(filledVertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}));
    mesh.setIndexBuffer(filledIndices(12));

    SubMesh* twoStages = mesh.addSubMesh();
    twoStages->setRange(0, 6, 0, 4);
    twoStages->setTexture(0, t0, "a.png");
    twoStages->setTexture(1, t1, "b.png");
    twoStages->setStageState(0, RenderStateType::textureMode, RenderStateValue::textureSphereMap);
    twoStages->setStageState(1, RenderStateType::blendMode, RenderStateValue::blendModulate);
    // A texture on stage 1 alone: only stage 0 is set up, with no texture.
    SubMesh* stageOneOnly = mesh.addSubMesh();
    stageOneOnly->setRange(6, 6, 1, 3);
    stageOneOnly->setTexture(1, t1, "b.png");

    const int before[] = {device.getRenderState(4), device.getRenderState(5)};
    device.clearCalls();
    mesh.draw();

    const std::vector<std::string> expected = {
        "pushRenderStates",
        "setVertexBuffer", "setIndexBuffer",
        "setTextureStage 0", "setRenderState 5 33", "setRenderState 4 25", "setTexture T0",
        "setTextureStage 1", "setRenderState 5 32", "setRenderState 4 29", "setTexture T1",
        "drawIndexed 0 4 0 6",
        "setTextureStage 0", "setTexture null", "setTextureStage 1", "setTexture null",
        "setTextureStage 0", "setRenderState 5 32", "setRenderState 4 25", "setTexture null",
        "drawIndexed 1 3 6 6",
        "setTextureStage 0", "setTexture null",
    };
    std::vector<std::string> drawn = trace({"pushRenderStates", "setVertexBuffer", "setIndexBuffer",
                                            "setTextureStage", "setRenderState", "setTexture",
                                            "drawIndexed", "popRenderStates"},
                                           {{t0, "T0"}, {t1, "T1"}});
    // Everything up to the pop; the pop's re-applied states come after it.
    ASSERT_FALSE(drawn.empty());
    auto pop = std::find(drawn.begin(), drawn.end(), "popRenderStates");
    ASSERT_NE(pop, drawn.end());
    EXPECT_EQ(std::vector<std::string>(drawn.begin(), pop), expected);
    EXPECT_EQ(device.find("setVertexBuffer")->object, mesh.vertexBuffer());
    EXPECT_EQ(device.find("setIndexBuffer")->object, mesh.indexBuffer());
    EXPECT_EQ(device.getRenderState(4), before[0]);
    EXPECT_EQ(device.getRenderState(5), before[1]);
    EXPECT_EQ(device.renderStates().depth(), 1);
}

TEST_F(MeshTest, PartOutsideItsBuffersIsNotDrawn)
{
    Mesh mesh;
    mesh.setVertexBuffer(filledVertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    mesh.setIndexBuffer(filledIndices(3));
    mesh.addSubMesh()->setRange(0, 3, 0, 3);
    mesh.addSubMesh()->setRange(3, 3, 0, 3);   // past the index buffer
    mesh.addSubMesh()->setRange(0, 3, 2, 2);   // past the vertex buffer
    mesh.draw();
    EXPECT_EQ(device.count("drawIndexed"), 1);

    Mesh empty;                                // no buffers at all
    empty.addSubMesh();
    device.clearCalls();
    empty.draw();
    EXPECT_EQ(device.count("drawIndexed"), 0);
}

TEST_F(MeshTest, SubMeshKeepsBlendAndTextureModesPerStageOnly)
{
    SubMesh part;
    EXPECT_EQ(part.stageState(0, RenderStateType::blendMode), RenderStateValue::blendOff);
    EXPECT_EQ(part.stageState(1, RenderStateType::textureMode), RenderStateValue::textureWrap);
    part.setStageState(0, 7, 1);
    part.setStageState(1, RenderStateType::blendMode, RenderStateValue::blendAdditive);
    EXPECT_EQ(part.stageState(0, 7), RenderStateValue::unset);
    EXPECT_EQ(part.stageState(0, RenderStateType::blendMode), RenderStateValue::blendOff);
    EXPECT_EQ(part.stageState(1, RenderStateType::blendMode), RenderStateValue::blendAdditive);
    // A stage that does not exist is refused, not written past the arrays.
    part.setStageState(2, RenderStateType::blendMode, 26);
    part.setTexture(-1, nullptr, "x");
    EXPECT_EQ(part.texture(2), nullptr);
    EXPECT_EQ(part.stageState(2, RenderStateType::blendMode), RenderStateValue::unset);

    Texture* t = createBlankTexture(false, 1, 1);
    struct Case {
        bool stage0, stage1;
        int last;
    };
    for (Case c : {Case{false, false, 0}, Case{true, false, 0}, Case{false, true, 0},
                   Case{true, true, 1}}) {
        part.setTexture(0, c.stage0 ? t : nullptr, "");
        part.setTexture(1, c.stage1 ? t : nullptr, "");
        EXPECT_EQ(part.lastStage(), c.last) << c.stage0 << c.stage1;
    }
}

TEST_F(MeshTest, DestroyingAMeshLeavesItsBuffersAndTexturesRegistered)
{
    auto mesh = std::make_unique<Mesh>();
    mesh->setVertexBuffer(filledVertices({{0, 0, 0}}));
    mesh->setIndexBuffer(filledIndices(3));
    mesh->addSubMesh()->setTexture(0, createBlankTexture(false, 1, 1), "t.png");
    EXPECT_EQ(mesh->subMesh(1), nullptr);
    EXPECT_EQ(mesh->subMesh(-1), nullptr);
    mesh.reset();
    EXPECT_EQ(liveResources(), 3);
}
