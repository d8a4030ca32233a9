#include "MeshFuzzing.h"
#include "XmlMeshLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzMeshLoader<XmlMeshLoader>("fuzz.msh", data, size);
}
