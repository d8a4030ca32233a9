#ifndef QUORIN_MEDIAFIXTURE_H
#define QUORIN_MEDIAFIXTURE_H

#include "ConsoleFontPicture.h"
#include "FileSystem.h"
#include "HostFiles.h"
#include "MemoryFileSystem.h"
#include "RecordingDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

// A recording device with a usable render-state cache and an in-memory file
// system installed as the current one. "picture.png" holds a real PNG (the
// console's font picture), for anything that loads a texture.
class MediaTest : public ::testing::Test {
protected:
    MediaTest()
    {
        device.resetRenderStates();
        device.clearCalls();
        files.add("picture.png", consoleFontPicture, consoleFontPictureSize);
        FileSystem::setInstance(&files);
    }
    ~MediaTest() override { FileSystem::setInstance(nullptr); }

    int liveTextures() { return live(device.registry().textures()); }
    int liveVertexBuffers() { return live(device.registry().vertexBuffers()); }
    int liveIndexBuffers() { return live(device.registry().indexBuffers()); }
    // Textures and buffers created since the log was last cleared.
    int created() const
    {
        return device.count("createTexture") + device.count("createVertexBuffer") +
               device.count("createIndexBuffer");
    }
    int liveResources() { return liveTextures() + liveVertexBuffers() + liveIndexBuffers(); }

    // The calls of the given names, one line each ("setRenderState 5 32",
    // "setTexture T1"), textures named by the labels given.
    std::vector<std::string> trace(const std::vector<std::string>& names,
                                   const std::map<const void*, std::string>& labels = {}) const
    {
        std::vector<std::string> out;
        for (const DeviceCall& call : device.calls()) {
            bool wanted = false;
            for (const std::string& name : names)
                wanted = wanted || name == call.name;
            if (!wanted)
                continue;
            std::string line = call.name;
            if (std::string(call.name) == "setTexture") {
                auto label = labels.find(call.object);
                line += " ";
                line += !call.object ? "null" : label != labels.end() ? label->second : "?";
            } else {
                for (int i = 0; i < call.argCount; ++i)
                    line += " " + std::to_string(call.intArg(i));
            }
            out.push_back(line);
        }
        return out;
    }

    // Top-left window pixel of each textured rectangle drawn (two triangles
    // a rectangle, as Texture::draw makes them), with its texture.
    struct Placed {
        const void* texture;
        int x, y;
    };
    std::vector<Placed> rectangles() const
    {
        std::vector<Placed> out;
        std::vector<const DeviceCall*> triangles = device.callsNamed("drawTriangle");
        const float W = 640, H = 480;
        for (size_t i = 1; i < triangles.size(); i += 2) {
            const Vertex& topLeft = triangles[i]->vertices[0];
            out.push_back({triangles[i]->object, static_cast<int>(std::lround((topLeft.x + 1) * W / 2)),
                           static_cast<int>(std::lround((1 - topLeft.y) * H / 2))});
        }
        return out;
    }

    static std::string readFile(const char* path) { return readHostFile(path); }

    RecordingDevice device;
    MemoryFileSystem files;

private:
    template <typename T>
    static int live(const std::vector<T*>& list)
    {
        int n = 0;
        for (T* p : list)
            n += p != nullptr;
        return n;
    }
};

#endif
