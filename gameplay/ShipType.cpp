#include "ShipType.h"

#include "ContentError.h"
#include "Device.h"
#include "Mesh.h"
#include "MeshLoader.h"
#include "SubMesh.h"
#include "RenderState.h"

ShipType::ShipType(const std::string& shipName, const std::string& meshFile, float shipScale,
                   float shipGrip, float shipMaxSpeed, float shipLenghtJump)
    : mesh(nullptr), name(shipName), scale(shipScale), grip(shipGrip), maxSpeed(shipMaxSpeed),
      lenghtJump(shipLenghtJump)
{
    mesh = loadMesh(meshFile);
}

ShipType::~ShipType()
{
    delete mesh;
}

void ShipType::setEnvMap(Texture* texture)
{
    if (!mesh)
        return;
    for (int i = 0; i < mesh->subMeshCount(); ++i) {
        SubMesh* part = mesh->subMesh(i);
        part->setStageState(0, RenderStateType::textureMode, RenderStateValue::textureSphereMap);
        part->setTexture(0, texture, "");
    }
}

void ShipType::draw()
{
    Device::instance()->setRenderState(RenderStateType::cullMode, RenderStateValue::cullClockwise);
    if (mesh)
        mesh->draw();
}

ShipType* createShipType(const std::string& name, const std::string& meshFile, float scale,
                         float grip, float maxSpeed, float lenghtJump)
{
    ShipType* type = new ShipType(name, meshFile, scale, grip, maxSpeed, lenghtJump);
    if (!type->mesh) {
        ContentError::report("ship \"" + name + "\": mesh file \"" + meshFile + "\" is missing or not a mesh");
        delete type;
        return nullptr;
    }
    return type;
}
