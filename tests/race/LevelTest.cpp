#include "GameFixture.h"
#include "RaceFixture.h"

#include "ContentError.h"
#include "Backdrop.h"
#include "Level.h"
#include "Mesh.h"
#include "RecordingDevice.h"
#include "RecordingSoundManager.h"
#include "RenderState.h"
#include "ShipType.h"
#include "SubMesh.h"
#include "TileType.h"

TEST(TrackFile, CharactersBecomeCellsRowByRow)
{
    struct Case {
        std::string bytes;
        int rows;
        std::vector<int> cells;
    } cases[] = {
        {"SSSSSSSSS\nXXXXXXXXX", 2, {1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
        {"0sSXFfC", 0, {0, 0, 1, 2, 3, 4, 5}},
        {"SxS cC\r\n\t", 0, {1, 1, 5}},
        {"", 0, {}},
        {"hello world", 0, {}},
        {"XXXXXXXXXXXXXXXXXXXF", 2, std::vector<int>(19, 2)},
    };
    cases[5].cells.push_back(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::vector<int> grid;
        Level::readTrack(c.bytes.data(), c.bytes.size(), grid);
        EXPECT_EQ(grid, c.cells);
        EXPECT_EQ(static_cast<int>(grid.size()) / 9, c.rows);
    }
}

TEST_F(RaceFixture, TileAtIsZeroOutsideTheCompleteRows)
{
    useTrack("SSSSSSSSS\nXXXXCXXXX\nFF");
    Level* level = game->level;
    EXPECT_EQ(level->rowCount(), 2);
    EXPECT_EQ(Level::columnCount(), 9);
    struct Case {
        int column, row, tile;
    } cases[] = {{0, 0, 1}, {8, 0, 1}, {4, 1, 5}, {3, 1, 2}, {-1, 0, 0},
                 {9, 0, 0}, {0, -1, 0}, {0, 2, 0}, {1, 2, 0}, {4, 1000000, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(level->tileAt(c.column, c.row), c.tile) << c.column << "," << c.row;

    useTrack("");
    EXPECT_EQ(game->level->rowCount(), 0);
    EXPECT_EQ(game->level->tileAt(0, 0), 0);
}

TEST_F(RaceFixture, TileTypesBuildTheirShapes)
{
    useTrack(rows(1));
    Level* level = game->level;
    EXPECT_EQ(level->findTileType(6), nullptr);
    ASSERT_EQ(level->tileTypes.size(), 6u);
    for (int id = 0; id < 6; ++id) {
        SCOPED_TRACE(id);
        TileType* type = level->findTileType(id);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->id(), id);
        EXPECT_FLOAT_EQ(type->size(), 0.1f);
        if (id == 0) {
            EXPECT_EQ(type->mesh(), nullptr);
            game->clearCalls();
            type->draw();
            EXPECT_TRUE(game->calls().empty());
            continue;
        }
        Mesh* mesh = type->mesh();
        ASSERT_NE(mesh, nullptr);
        const bool cube = id == 5;
        EXPECT_EQ(mesh->vertexBuffer()->count(), cube ? 24 : 4);
        EXPECT_EQ(mesh->indexBuffer()->count(), cube ? 36 : 6);
        EXPECT_EQ(mesh->subMeshCount(), cube ? 6 : 1);
        float x, y, z;
        mesh->getExtents(x, y, z);
        EXPECT_FLOAT_EQ(x, 0.1f);
        EXPECT_FLOAT_EQ(y, 0.1f);
        EXPECT_FLOAT_EQ(z, cube ? 0.035f : 0.0f);
        SubMesh* part = mesh->subMesh(0);
        EXPECT_EQ(part->stageState(0, RenderStateType::textureMode), RenderStateValue::textureClamp);
        EXPECT_EQ(part->stageState(1, RenderStateType::blendMode), RenderStateValue::blendModulate);
        EXPECT_EQ(part->stageState(1, RenderStateType::textureMode), RenderStateValue::textureWrap);
        game->resetRenderStates();
        type->draw();
        EXPECT_EQ(game->getRenderState(RenderStateType::cullMode),
                  cube ? RenderStateValue::cullClockwise : RenderStateValue::cullCounterClockwise);
    }
    // The quad's indices and texture coordinates, and one cube face's.
    auto* quadIndices = static_cast<RecordingIndexBuffer*>(level->findTileType(2)->mesh()->indexBuffer());
    EXPECT_EQ(quadIndices->indices(), (std::vector<uint32_t>{0, 1, 2, 2, 1, 3}));
    auto* quad = static_cast<RecordingVertexBuffer*>(level->findTileType(2)->mesh()->vertexBuffer());
    EXPECT_FLOAT_EQ(quad->vertices()[0].x, -0.05f);
    EXPECT_FLOAT_EQ(quad->vertices()[0].v1, 1.0f);
    EXPECT_FLOAT_EQ(quad->vertices()[3].v2, 0.0f);
    Mesh* cube = level->findTileType(5)->mesh();
    auto* cubeIndices = static_cast<RecordingIndexBuffer*>(cube->indexBuffer());
    EXPECT_EQ(std::vector<uint32_t>(cubeIndices->indices().begin() + 30, cubeIndices->indices().end()),
              (std::vector<uint32_t>{20, 21, 22, 22, 21, 23}));
    int start, count, minVertex, vertexCount;
    cube->subMesh(5)->range(start, count, minVertex, vertexCount);
    EXPECT_EQ(std::vector<int>({start, count, minVertex, vertexCount}), (std::vector<int>{30, 6, 20, 4}));
    auto* cubeVertices = static_cast<RecordingVertexBuffer*>(cube->vertexBuffer());
    EXPECT_FLOAT_EQ(cubeVertices->vertices()[9].z, 0.035f);  // top face, corner 1
    EXPECT_FLOAT_EQ(cubeVertices->vertices()[9].x, -0.05f);
    EXPECT_FLOAT_EQ(cubeVertices->vertices()[10].v1, 1.0f);
}

TEST_F(RaceFixture, ShipTypePutsTheEnvironmentMapOnEveryPart)
{
    Mesh* mesh = shipType->mesh;
    for (int i = 0; i < 3; ++i)
        mesh->addSubMesh()->setTexture(0, nullptr, "paint.png");
    Texture* envmap = createBlankTexture(false, 1, 1);
    shipType->setEnvMap(envmap);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mesh->subMesh(i)->texture(0), envmap);
        EXPECT_EQ(mesh->subMesh(i)->stageState(0, RenderStateType::textureMode), RenderStateValue::textureSphereMap);
        EXPECT_EQ(mesh->subMesh(i)->textureFile(0), "");
    }
    game->resetRenderStates();
    shipType->draw();
    EXPECT_EQ(game->getRenderState(RenderStateType::cullMode), RenderStateValue::cullClockwise);

    ContentError::clear();
    EXPECT_EQ(createShipType("Ghost", "ships/none.msh", 1.0f, 0, 0, 0), nullptr);
    EXPECT_TRUE(ContentError::raised());
    EXPECT_NE(ContentError::first().find("ships/none.msh"), std::string::npos);
    ContentError::clear();
}

class LevelContentTest : public GameFixture {};

TEST_F(LevelContentTest, LevelComesFromItsContentEntry)
{
    ASSERT_TRUE(start());
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        Level* level = createLevel(index);
        ASSERT_NE(level, nullptr);
        EXPECT_EQ(level->rowCount(), 30);
        EXPECT_EQ(level->tileAt(4, 29), 2);
        EXPECT_FLOAT_EQ(level->speed, index == 0 ? 1.0f : 1.2f);
        EXPECT_EQ(level->jumpCount, index == 0 ? 3 : 2);
        EXPECT_NE(level->shipEnvmap, nullptr);
        EXPECT_NE(level->music, nullptr);
        EXPECT_EQ(sound->pathOf(level->music), "music/level.mod");
        for (int id = 1; id < 6; ++id)
            EXPECT_NE(level->findTileType(id)->texture(), nullptr);
        EXPECT_NE(game->backdrop->background, nullptr);
        const int stops = sound->stops("music/level.mod");
        delete level;
        EXPECT_EQ(sound->stops("music/level.mod"), stops + 1) << "the music ends with the level";
    }
    EXPECT_FALSE(ContentError::raised());
}

// A level that cannot be built is refused with a message naming what is
// missing, instead of a race on a broken track.
TEST_F(LevelContentTest, BrokenLevelIsAContentError)
{
    struct Case {
        const char* name;
        ContentFiles files;
        int index;
        const char* named;
    } cases[] = {
        {"no track element", withoutElement(smallContent(), "track"), 0, "track"},
        {"no jump count", withoutElement(smallContent(), "jumpCount"), 0, "jumpCount"},
        {"no cube picture", withoutElement(smallContent(), "cube"), 0, "cube"},
        {"missing track file", withReplaced(smallContent(), "levels/0/track.txt", "levels/0/gone.txt"), 0,
         "levels/0/gone.txt"},
        {"missing music file", withReplaced(smallContent(), "music/level.mod", "music/gone.mod"), 0,
         "music/gone.mod"},
        {"missing envmap picture",
         withReplaced(smallContent(), "<shipEnvmap>pictures/envmap.png</shipEnvmap><tileSlow>",
                      "<shipEnvmap>pictures/gone.png</shipEnvmap><tileSlow>"),
         0, "pictures/gone.png"},
        {"level past the last", smallContent(), 2, "2"},
        {"negative level", smallContent(), -1, "-1"},
    };
    ContentFiles empty = smallContent();
    empty["levels/0/track.txt"] = "XXXX\nXXXX\n";
    ContentFiles unreadable = smallContent();
    unreadable["levels/0/track.txt"] = "\x01\x02\xff";

    std::vector<Case> all(std::begin(cases), std::end(cases));
    all.push_back({"track shorter than a row", empty, 0, "levels/0/track.txt"});
    all.push_back({"track without a cell", unreadable, 0, "levels/0/track.txt"});
    for (const Case& c : all) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(start(c.files)) << "the menu needs no level";
        ContentError::clear();
        EXPECT_EQ(createLevel(c.index), nullptr);
        EXPECT_TRUE(ContentError::raised());
        EXPECT_NE(ContentError::first().find(c.named), std::string::npos) << ContentError::first();
        shutdown();
        destroyGame();
        game = nullptr;
    }
}
