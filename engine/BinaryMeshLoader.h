#ifndef QUORIN_BINARYMESHLOADER_H
#define QUORIN_BINARYMESHLOADER_H

#include "MeshLoader.h"

// Reads binary meshes (".cmsh"): a 28-byte little-endian header, then the
// part, vertex and triangle records, stepped through by the record sizes the
// header gives. The whole file is checked before anything is created: a
// wrong version, a file shorter than the records it announces, a negative
// count, a record smaller than its layout, a texture name without its NUL,
// a part outside the mesh or an index outside its part's vertices refuses
// the file.
class BinaryMeshLoader : public MeshLoader {
public:
    ~BinaryMeshLoader() override;
    Mesh* load(DataFile* file, bool dynamic) override;
};

#endif
