#ifndef QUORIN_MESHLOADER_H
#define QUORIN_MESHLOADER_H

#include <string>

class DataFile;
class Mesh;

// Builds a mesh from a file's bytes. Loaders hold no state.
class MeshLoader {
public:
    virtual ~MeshLoader();
    // A new mesh owned by the caller, or null (with a message on stderr)
    // when the file is refused; a refused file leaves no buffer or texture
    // behind. dynamic goes to the creation of both buffers.
    virtual Mesh* load(DataFile* file, bool dynamic) = 0;
};

// By the file's extension: "MSH" is an XML mesh, "CMSH" a binary mesh; any
// other extension gives null and creates no loader. Buffers are static.
Mesh* loadMeshData(DataFile* file);

// openFile, then loadMeshData. Null when the file is missing or refused.
Mesh* loadMesh(const std::string& path);

#endif
