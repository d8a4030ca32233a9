#include "BinaryMeshLoader.h"
#include "MeshFuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzMeshLoader<BinaryMeshLoader>("fuzz.cmsh", data, size);
}
