#ifndef QUORIN_MESHFUZZING_H
#define QUORIN_MESHFUZZING_H

#include "DataFile.h"
#include "IndexBuffer.h"
#include "MemoryFileSystem.h"
#include "Mesh.h"
#include "MeshLoader.h"
#include "RecordingDevice.h"
#include "SubMesh.h"
#include "VertexBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

// Loads one input with the given loader and checks what a loaded mesh
// promises: every part inside both buffers, every index of a part inside the
// part's vertices. Texture names are looked up in an empty in-memory file
// system, never on disk.
template <typename Loader>
int fuzzMeshLoader(const char* path, const uint8_t* data, size_t size)
{
    static RecordingDevice* device = [] {
        RecordingDevice* d = new RecordingDevice();
        d->setRecording(false);
        d->resetRenderStates();
        return d;
    }();
    static MemoryFileSystem* files = [] {
        MemoryFileSystem* f = new MemoryFileSystem();
        FileSystem::setInstance(f);
        return f;
    }();
    (void)files;

    DataFile file(path, data, static_cast<int>(size));
    Loader loader;
    std::unique_ptr<Mesh> mesh(loader.load(&file, false));
    if (mesh) {
        VertexBuffer* vertices = mesh->vertexBuffer();
        IndexBuffer* indices = mesh->indexBuffer();
        if (!vertices || !indices)
            std::abort();
        const uint32_t* index = static_cast<RecordingIndexBuffer*>(indices)->indices().data();
        for (int p = 0; p < mesh->subMeshCount(); ++p) {
            const SubMesh* part = mesh->subMesh(p);
            if (part->startIndex() < 0 || part->indexCount() < 0 ||
                part->startIndex() + static_cast<long long>(part->indexCount()) > indices->count() ||
                part->minVertex() < 0 || part->vertexCount() < 0 ||
                part->minVertex() + static_cast<long long>(part->vertexCount()) > vertices->count())
                std::abort();
            for (int i = part->startIndex(); i < part->startIndex() + part->indexCount(); ++i)
                if (index[i] < static_cast<uint32_t>(part->minVertex()) ||
                    index[i] >= static_cast<uint32_t>(part->minVertex() + part->vertexCount()))
                    std::abort();
        }
        mesh->draw();
    }
    mesh.reset();
    device->registry().releaseAll();
    return 0;
}

#endif
