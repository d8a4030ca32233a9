#ifndef QUORIN_SHIP_TYPE_H
#define QUORIN_SHIP_TYPE_H

#include <string>

class Mesh;
class Texture;

// One kind of ship the player can choose. The race reads only the scale and
// the mesh's extents; grip, maxSpeed and lenghtJump are shown as gauges.
class ShipType
{
public:
    // Copies the figures and loads the mesh (null when the file is missing
    // or unreadable; createShipType reports that).
    ShipType(const std::string& name, const std::string& meshFile, float scale,
             float grip, float maxSpeed, float lenghtJump);
    virtual ~ShipType();

    // Puts the texture on stage 0 of every part as a sphere map. The texture
    // is not owned.
    void setEnvMap(Texture* texture);
    // Culls clockwise faces and draws the mesh in the current transform.
    void draw();

    Mesh* mesh;
    std::string name;
    float scale;
    float grip;
    float maxSpeed;
    float lenghtJump;

private:
    ShipType(const ShipType&) = delete;
    ShipType& operator=(const ShipType&) = delete;
};

// A new ship type, or null after a content error on stderr when its mesh
// cannot be loaded.
ShipType* createShipType(const std::string& name, const std::string& meshFile, float scale,
                         float grip, float maxSpeed, float lenghtJump);

#endif
