#include "MeshLoader.h"

#include "BinaryMeshLoader.h"
#include "DataFile.h"
#include "FileSystem.h"
#include "XmlMeshLoader.h"

#include <cstdio>
#include <memory>

MeshLoader::~MeshLoader() = default;

Mesh* loadMeshData(DataFile* file)
{
    if (!file)
        return nullptr;
    std::unique_ptr<MeshLoader> loader;
    if (file->extension() == "MSH")
        loader.reset(new XmlMeshLoader());
    else if (file->extension() == "CMSH")
        loader.reset(new BinaryMeshLoader());
    else {
        std::fprintf(stderr, "%s: not a mesh file (extension \"%s\")\n",
                     file->path().c_str(), file->extension().c_str());
        return nullptr;
    }
    return loader->load(file, false);
}

Mesh* loadMesh(const std::string& path)
{
    std::unique_ptr<DataFile> file(openFile(path));
    if (!file) {
        std::fprintf(stderr, "%s: mesh file not found\n", path.c_str());
        return nullptr;
    }
    return loadMeshData(file.get());
}
