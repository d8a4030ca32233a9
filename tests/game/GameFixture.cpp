#include "GameFixture.h"

#include "ContentError.h"
#include "HostFiles.h"

#include "MemoryFileSystem.h"
#include "RecordingSoundManager.h"

#include <zlib.h>


namespace {

void putBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void putChunk(std::string& out, const char* type, const std::string& data)
{
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    putBigEndian(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                  static_cast<uInt>(body.size()))));
}

// A ship: a flat diamond 0.4 wide and 0.6 long around the origin.
const char* const shipMesh =
    "<mesh>"
    "<materials count=\"1\"><material index=\"0\"><triangle start=\"0\" count=\"2\"/>"
    "<vertex start=\"0\" count=\"4\"/></material></materials>"
    "<vertices count=\"4\">"
    "<vertice index=\"0\"><position x=\"0\" y=\"0\" z=\"-0.3\"/><normal x=\"0\" y=\"1\" z=\"0\"/>"
    "<color r=\"255\" g=\"255\" b=\"255\"/><texel u=\"0\" v=\"0\"/></vertice>"
    "<vertice index=\"1\"><position x=\"0.2\" y=\"0\" z=\"0\"/><normal x=\"0\" y=\"1\" z=\"0\"/>"
    "<color r=\"255\" g=\"255\" b=\"255\"/><texel u=\"1\" v=\"0\"/></vertice>"
    "<vertice index=\"2\"><position x=\"-0.2\" y=\"0\" z=\"0\"/><normal x=\"0\" y=\"1\" z=\"0\"/>"
    "<color r=\"255\" g=\"255\" b=\"255\"/><texel u=\"0\" v=\"1\"/></vertice>"
    "<vertice index=\"3\"><position x=\"0\" y=\"0.05\" z=\"0.3\"/><normal x=\"0\" y=\"1\" z=\"0\"/>"
    "<color r=\"255\" g=\"255\" b=\"255\"/><texel u=\"1\" v=\"1\"/></vertice>"
    "</vertices>"
    "<triangles count=\"2\">"
    "<triangle index=\"0\"><vertices vert1=\"0\" vert2=\"1\" vert3=\"2\"/></triangle>"
    "<triangle index=\"1\"><vertices vert1=\"2\" vert2=\"1\" vert3=\"3\"/></triangle>"
    "</triangles></mesh>";

std::string ship(const char* name, const char* figures, const char* mesh)
{
    return std::string("<ship><name>") + name + "</name>" + figures + "<mesh>" + mesh + "</mesh></ship>";
}

std::string level(int n, const char* speed, const char* jumps)
{
    std::string p = "levels/" + std::to_string(n) + "/";
    return "<level><track>" + p + "track.txt</track>"
           "<background>" + p + "background.png</background><clouds>pictures/clouds.png</clouds>"
           "<shipEnvmap>pictures/envmap.png</shipEnvmap>"
           "<tileSlow>pictures/tile.png</tileSlow><tileNormal>pictures/tile.png</tileNormal>"
           "<tileFast>pictures/tile.png</tileFast><tileVeryFast>pictures/tile.png</tileVeryFast>"
           "<cube>pictures/tile.png</cube>"
           "<speed>" + speed + "</speed><jumpCount>" + jumps + "</jumpCount>"
           "<music>music/level.mod</music></level>";
}

} // namespace

std::string pngBytes(int width, int height, uint32_t argb)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            raw.push_back(static_cast<char>((argb >> 16) & 0xFF));
            raw.push_back(static_cast<char>((argb >> 8) & 0xFF));
            raw.push_back(static_cast<char>(argb & 0xFF));
            raw.push_back(static_cast<char>((argb >> 24) & 0xFF));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
             static_cast<uLong>(raw.size()));
    packed.resize(packedSize);

    std::string header;
    putBigEndian(header, static_cast<uint32_t>(width));
    putBigEndian(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", "");
    return png;
}

ContentFiles smallContent()
{
    ContentFiles files;
    std::string xml =
        "<?xml version=\"1.0\"?>\n<content>"
        "<common>"
        "<ships count=\"4\">" +
        ship("Arrow", "<scale>0.1</scale><lenghtJump>0.3</lenghtJump><grip>0.5</grip><maxSpeed>0.7</maxSpeed>",
             "ships/arrow.msh") +
        ship("Bolt", "<grip>0.8</grip><maxSpeed>0.4</maxSpeed><scale>0.1</scale><lenghtJump>0.6</lenghtJump>",
             "ships/arrow.msh") +
        ship("Comet", "<maxSpeed>1.0</maxSpeed><scale>0.12</scale><grip>0.2</grip><lenghtJump>0.9</lenghtJump>",
             "ships/arrow.msh") +
        ship("Dart", "<scale>0.1</scale><lenghtJump>0.1</lenghtJump><grip>0.1</grip><maxSpeed>0.1</maxSpeed>",
             "ships/arrow.msh") +
        "</ships>"
        "<fonts><little size=\"12\">fonts/sans.ttf</little><big size=\"20\">fonts/sans.ttf</big></fonts>"
        "<hud>pictures/hud.png</hud><detail>pictures/detail.png</detail>"
        "<tickTime>0.5</tickTime>"
        "<sounds><clickSelect>sounds/select.wav</clickSelect><clickValidate>sounds/validate.wav</clickValidate>"
        "<go>sounds/go.wav</go><death>sounds/death.wav</death><jump>sounds/jump.wav</jump></sounds>"
        "</common>"
        "<game><tile><speed><slow>0.5</slow><normal>1.0</normal><fast>1.5</fast><veryFast>2.0x</veryFast>"
        "</speed></tile></game>"
        "<menu><background>pictures/menu.png</background><clouds>pictures/clouds.png</clouds>"
        "<music>music/menu.mod</music><cursor>pictures/cursor.png</cursor>"
        "<shipEnvmap>pictures/envmap.png</shipEnvmap></menu>"
        "<levels>" +
        level(0, "1.0", "3") + level(1, "1.2", "2") +
        "</levels>"
        "<languages><french>"
        "<gameName>QUORIN</gameName>"
        "<menuItems><item>UN JOUEUR</item><item>DEUX JOUEURS</item><item>INSTRUCTIONS</item>"
        "<item>QUITTER</item></menuItems>"
        "<instructionsTitle>INSTRUCTIONS</instructionsTitle>"
        "<instructions><line>Fleches pour tourner</line><line/><line>Espace pour sauter</line></instructions>"
        "<selectShipAloneTitle>CHOISIS TON VAISSEAU</selectShipAloneTitle>"
        "<selectShipPlayer1Title>JOUEUR 1</selectShipPlayer1Title>"
        "<selectShipPlayer2Title>JOUEUR 2</selectShipPlayer2Title>"
        "<name>NOM</name><grip>ADHERENCE</grip><maxSpeed>VITESSE</maxSpeed><lenghtJump>SAUT</lenghtJump>"
        "<instructionsPlayer1>Joueur 1 : fleches</instructionsPlayer1>"
        "<instructionsPlayer2>Joueur 2 : X et V</instructionsPlayer2>"
        "<loading>CHARGEMENT</loading>"
        "</french></languages>"
        "</content>\n";
    files["content.xml"] = xml;
    files["ships/arrow.msh"] = shipMesh;
    files["fonts/sans.ttf"] = readHostFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    const char* const pictures[] = {"hud", "detail", "menu", "clouds", "cursor", "envmap", "tile"};
    for (const char* picture : pictures)
        files[std::string("pictures/") + picture + ".png"] = pngBytes(4, 4, 0xFF336699);
    const char* const sounds[] = {"select", "validate", "go", "death", "jump"};
    for (const char* sound : sounds)
        files[std::string("sounds/") + sound + ".wav"] = std::string("RIFF-") + sound;
    files["music/menu.mod"] = "menu music";
    files["music/level.mod"] = "level music";
    std::string track;
    for (int row = 0; row < 30; ++row)
        track += "XXXXXXXXX\n";
    for (int n = 0; n < 2; ++n) {
        files["levels/" + std::to_string(n) + "/track.txt"] = track;
        files["levels/" + std::to_string(n) + "/background.png"] = pngBytes(2, 2, 0xFF000000u + n);
    }
    return files;
}

ContentFiles withoutElement(ContentFiles files, const std::string& name)
{
    std::string& xml = files["content.xml"];
    size_t begin = xml.find("<" + name + ">");
    if (begin == std::string::npos)
        begin = xml.find("<" + name + " ");
    EXPECT_NE(begin, std::string::npos) << name;
    if (begin == std::string::npos)
        return files;
    size_t openEnd = xml.find('>', begin);
    size_t end;
    if (xml[openEnd - 1] == '/')
        end = openEnd + 1;
    else {
        std::string close = "</" + name + ">";
        end = xml.find(close, begin);
        EXPECT_NE(end, std::string::npos) << name;
        end += close.size();
    }
    xml.erase(begin, end - begin);
    return files;
}

ContentFiles withReplaced(ContentFiles files, const std::string& from, const std::string& to)
{
    std::string& xml = files["content.xml"];
    size_t at = xml.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        xml.replace(at, from.size(), to);
    return files;
}

bool GameFixture::start(const ContentFiles& content)
{
    ContentError::clear();
    files = content;
    game = Game::instance();
    game->setSize(640, 480);
    game->resetRenderStates();
    game->openArchive = [content]() -> FileSystem* {
        MemoryFileSystem* archive = new MemoryFileSystem();
        for (const auto& file : content)
            archive->add(file.first, file.second);
        return archive;
    };
    game->openSoundManager = [this]() -> SoundManager* {
        sound = new RecordingSoundManager();
        return sound;
    };
    running = true;
    game->onInit();
    return game->scene != nullptr && !game->contentFailed();
}

void GameFixture::frame(float elapsed)
{
    game->onFrame(elapsed);
}

void GameFixture::frameWithKey(int key, float elapsed)
{
    game->onKey(key);
    game->onFrame(elapsed);
}

void GameFixture::press(int key)
{
    game->onFrame(0.25f);
    game->onKey(key);
    game->onFrame(1.0f / 60.0f);
}

void GameFixture::startOnePlayerRace(int right1)
{
    press(Key::enter);
    for (int i = 0; i < right1; ++i)
        press(Key::right);
    press(Key::enter);
    frame();
}

void GameFixture::startTwoPlayerRace(int right1, int right2)
{
    press(Key::down);
    press(Key::enter);
    for (int i = 0; i < right1; ++i)
        press(Key::right);
    press(Key::enter);
    for (int i = 0; i < right2; ++i)
        press(Key::right);
    press(Key::enter);
    frame();
}

void GameFixture::shutdown()
{
    if (!running)
        return;
    running = false;
    game->onShutdown();
    game->releaseAllResources();
    sound = nullptr;
}

void GameFixture::TearDown()
{
    if (game) {
        shutdown();
        destroyGame();
        game = nullptr;
    }
    ContentError::clear();
}
