#ifndef QUORIN_XMLMESHLOADER_H
#define QUORIN_XMLMESHLOADER_H

#include "MeshLoader.h"

// Reads XML meshes (".msh"): "materials", "vertices" and "triangles" lists
// under the top element, every value an attribute. The document is checked
// whole before anything is created: a missing list, count, entry index,
// sub-element or attribute, a negative count or one larger than the file
// could describe, an entry index outside its list, a part outside the mesh,
// or a triangle naming a vertex outside the mesh or its part refuses the
// file. Materials whose index lies outside the part count, or that carry no
// index, give no part.
class XmlMeshLoader : public MeshLoader {
public:
    ~XmlMeshLoader() override;
    Mesh* load(DataFile* file, bool dynamic) override;
};

#endif
