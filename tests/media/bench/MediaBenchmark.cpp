// Loading figures for fonts and meshes; run bin/media_benchmark.
#include "BinaryMeshLoader.h"
#include "ConsoleFontPicture.h"
#include "DataFile.h"
#include "Font.h"
#include "HostFiles.h"
#include "Image.h"
#include "Mesh.h"
#include "RecordingDevice.h"
#include "TrueTypeFontBuilder.h"
#include "XmlDocument.h"
#include "XmlMeshLoader.h"
#include "XmlParser.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const int gridX = 100, gridZ = 40;   // 8000 triangles, 4141 vertices

void u32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 255);
}

void f32(std::string& out, float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    u32(out, u);
}

std::string gridBinary()
{
    const int vertices = (gridX + 1) * (gridZ + 1), triangles = 2 * gridX * gridZ;
    std::string out = "CMSH\0\0";
    out.resize(6);
    for (uint16_t v : {276, 36, 12, 1, 0}) {
        out += char(v & 255);
        out += char(v >> 8);
    }
    u32(out, 1);
    u32(out, vertices);
    u32(out, triangles);
    u32(out, 0);
    u32(out, triangles);
    u32(out, 0);
    u32(out, vertices);
    out.append(260, '\0');
    for (int z = 0; z <= gridZ; ++z)
        for (int x = 0; x <= gridX; ++x) {
            for (float f : {x * 0.1f, 0.0f, z * 0.1f, 0.0f, 1.0f, 0.0f})
                f32(out, f);
            u32(out, 0xFFFFFFFF);
            f32(out, x / float(gridX));
            f32(out, z / float(gridZ));
        }
    for (int z = 0; z < gridZ; ++z)
        for (int x = 0; x < gridX; ++x) {
            uint32_t a = z * (gridX + 1) + x, b = a + 1, c = a + gridX + 1, d = c + 1;
            for (uint32_t i : {a, b, c, c, b, d})
                u32(out, i);
        }
    return out;
}

std::string gridXml()
{
    const int vertices = (gridX + 1) * (gridZ + 1), triangles = 2 * gridX * gridZ;
    std::string out = "<mesh><materials count=\"1\"><material index=\"0\"><triangle start=\"0\" count=\"" +
                      std::to_string(triangles) + "\"/><vertex start=\"0\" count=\"" +
                      std::to_string(vertices) + "\"/></material></materials>";
    out += "<vertices count=\"" + std::to_string(vertices) + "\">";
    char line[400];
    for (int z = 0; z <= gridZ; ++z)
        for (int x = 0; x <= gridX; ++x) {
            std::snprintf(line, sizeof line,
                          "<vertice index=\"%d\"><position x=\"%g\" y=\"0\" z=\"%g\"/>"
                          "<normal x=\"0\" y=\"1\" z=\"0\"/><color r=\"255\" g=\"255\" b=\"255\"/>"
                          "<texel u=\"%g\" v=\"%g\"/></vertice>\n",
                          z * (gridX + 1) + x, x * 0.1, z * 0.1, x / double(gridX), z / double(gridZ));
            out += line;
        }
    out += "</vertices><triangles count=\"" + std::to_string(triangles) + "\">";
    int t = 0;
    for (int z = 0; z < gridZ; ++z)
        for (int x = 0; x < gridX; ++x) {
            int a = z * (gridX + 1) + x, b = a + 1, c = a + gridX + 1, d = c + 1;
            for (int k = 0; k < 2; ++k, ++t) {
                std::snprintf(line, sizeof line,
                              "<triangle index=\"%d\"><vertices vert1=\"%d\" vert2=\"%d\" vert3=\"%d\"/></triangle>\n",
                              t, k ? c : a, k ? b : b, k ? d : c);
                out += line;
            }
        }
    out += "</triangles></mesh>";
    return out;
}

template <typename Loader>
void loadMeshBenchmark(benchmark::State& state, const std::string& path, const std::string& bytes)
{
    RecordingDevice device;
    device.setRecording(false);
    DataFile file(path, bytes.data(), static_cast<int>(bytes.size()));
    for (auto _ : state) {
        Loader loader;
        std::unique_ptr<Mesh> mesh(loader.load(&file, false));
        if (!mesh) {
            state.SkipWithError("mesh refused");
            break;
        }
        benchmark::DoNotOptimize(mesh.get());
        mesh.reset();
        device.registry().releaseAll();
    }
    state.counters["bytes"] = double(bytes.size());
}

void BM_LoadBinaryMesh8000Triangles(benchmark::State& state)
{
    loadMeshBenchmark<BinaryMeshLoader>(state, "grid.cmsh", gridBinary());
}
BENCHMARK(BM_LoadBinaryMesh8000Triangles)->Unit(benchmark::kMillisecond);

void BM_LoadXmlMesh8000Triangles(benchmark::State& state)
{
    loadMeshBenchmark<XmlMeshLoader>(state, "grid.msh", gridXml());
}
BENCHMARK(BM_LoadXmlMesh8000Triangles)->Unit(benchmark::kMillisecond);

// The XML parse alone (TinyXML and the engine's node tree), for comparison.
void BM_ParseXmlMeshDocument8000Triangles(benchmark::State& state)
{
    const std::string bytes = gridXml();
    DataFile file("grid.msh", bytes.data(), static_cast<int>(bytes.size()));
    for (auto _ : state) {
        std::unique_ptr<XmlDocument> document(parseXml(&file));
        benchmark::DoNotOptimize(document.get());
    }
}
BENCHMARK(BM_ParseXmlMeshDocument8000Triangles)->Unit(benchmark::kMillisecond);

void BM_BuildTrueTypeFont97GlyphsAt32(benchmark::State& state)
{
    const std::string bytes = readHostFile(QUORIN_DEJAVU_SANS);
    if (bytes.empty()) {
        state.SkipWithError("DejaVuSans.ttf missing");
        return;
    }
    RecordingDevice device;
    device.setRecording(false);
    DataFile file("DejaVuSans.ttf", bytes.data(), static_cast<int>(bytes.size()));
    for (auto _ : state) {
        TrueTypeFontBuilder builder;
        std::unique_ptr<Font> font(builder.build(&file, "", 0, 32));
        benchmark::DoNotOptimize(font.get());
    }
}
BENCHMARK(BM_BuildTrueTypeFont97GlyphsAt32)->Unit(benchmark::kMillisecond);

void BM_BuildConsoleBitmapFont(benchmark::State& state)
{
    RecordingDevice device;
    device.setRecording(false);
    DataFile file("font.png", consoleFontPicture, consoleFontPictureSize);
    for (auto _ : state) {
        std::unique_ptr<Image> image(loadImage(file, true));
        std::unique_ptr<Font> font(buildBitmapFont(image.get(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", 16, 32));
        benchmark::DoNotOptimize(font.get());
    }
}
BENCHMARK(BM_BuildConsoleBitmapFont)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
