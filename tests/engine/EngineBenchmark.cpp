// Figures of the engine's hot and loading paths; not part of the test suite.
#include "DataFile.h"
#include "Image.h"
#include "RecordingDevice.h"
#include "RenderState.h"
#include "Texture.h"
#include "TestFiles.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"
#include "ZipFileSystem.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

static void renderStatePushSetPop(benchmark::State& state)
{
    RecordingDevice device;
    device.setRecording(false);
    device.resetRenderStates();
    for (auto _ : state) {
        device.pushRenderStates();
        device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
        device.setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
        device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
        device.popRenderStates();
        device.renderStates().clearPending();
    }
}
BENCHMARK(renderStatePushSetPop);

static void textureDrawAt(benchmark::State& state)
{
    RecordingDevice device;
    device.setRecording(false);
    device.resetRenderStates();
    Texture* texture = createBlankTexture(false, 32, 32);
    for (auto _ : state) {
        texture->drawAt(10, 20);
        device.renderStates().clearPending();
    }
}
BENCHMARK(textureDrawAt);

static void textureUpload640x480(benchmark::State& state)
{
    std::vector<uint32_t> pixels(640 * 480, 0xFF336699);
    for (auto _ : state) {
        std::vector<uint32_t> texels = buildTextureTexels(pixels.data(), 640, 480);
        benchmark::DoNotOptimize(texels.data());
    }
}
BENCHMARK(textureUpload640x480)->Unit(benchmark::kMillisecond);

static void decodePng256(benchmark::State& state)
{
    std::vector<uint32_t> pixels(256 * 256);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    std::string png = makePng(256, 256, pixels);
    DataFile file("bench.png", png.data(), static_cast<int>(png.size()));
    for (auto _ : state) {
        std::unique_ptr<Image> image(loadImage(file, true));
        benchmark::DoNotOptimize(image.get());
    }
}
BENCHMARK(decodePng256)->Unit(benchmark::kMillisecond);

static std::string contentLikeXml()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<content>\n";
    for (int i = 0; i < 200; ++i)
        xml += "  <entry" + std::to_string(i) + " count=\"3\"><name>item " + std::to_string(i) +
               "</name><speed>1.25</speed></entry" + std::to_string(i) + ">\n";
    return xml + "</content>\n";
}

static void parseContentXml(benchmark::State& state)
{
    std::string xml = contentLikeXml();
    DataFile file("content.xml", xml.data(), static_cast<int>(xml.size()));
    for (auto _ : state) {
        std::unique_ptr<XmlDocument> document(parseXml(&file));
        benchmark::DoNotOptimize(document.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
}
BENCHMARK(parseContentXml)->Unit(benchmark::kMicrosecond);

static void findElementLastOf200(benchmark::State& state)
{
    std::string xml = contentLikeXml();
    DataFile file("content.xml", xml.data(), static_cast<int>(xml.size()));
    std::unique_ptr<XmlDocument> document(parseXml(&file));
    const std::string name = "entry199";
    for (auto _ : state)
        benchmark::DoNotOptimize(document->root()->findElement(name));
}
BENCHMARK(findElementLastOf200);

static void zipMemberRead(benchmark::State& state)
{
    std::string dir = makeTestDirectory("benchmark");
    std::string archive = dir + "/quorin.zip";
    std::vector<ZipMember> members;
    for (int i = 0; i < 100; ++i)
        members.push_back({"levels/level" + std::to_string(i) + ".txt", std::string(4096, 'a' + i % 26), true});
    members.push_back({"content.xml", contentLikeXml(), true});
    makeZip(archive, members);
    ZipFileSystem zip(archive);
    for (auto _ : state) {
        std::unique_ptr<DataFile> file(zip.open("CONTENT.XML"));
        benchmark::DoNotOptimize(file.get());
    }
}
BENCHMARK(zipMemberRead)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
