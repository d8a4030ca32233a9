#ifndef QUORIN_LIGHT_H
#define QUORIN_LIGHT_H

// A fixed-function hardware light: 17 32-bit fields, copied as a block.
struct LightDesc {
    int type;                  // 0 directional, 1 spot, 2 point
    float position[3];
    float direction[3];
    float color[3];            // diffuse colour, 0-1
    float range;
    float innerCone;           // radians
    float outerCone;           // radians
    float falloff;
    float constantAttenuation;
    float linearAttenuation;
    float spare;
};

static_assert(sizeof(LightDesc) == 68, "LightDesc must stay 68 bytes");

class LightBase {
public:
    LightBase();
    virtual ~LightBase() = 0;
    virtual void setDesc(const LightDesc& desc);
    virtual const LightDesc& desc() const;

protected:
    LightDesc desc_;
};

// A light registered with the device, at the device light index chosen by
// Device::createLight.
class Light : public LightBase {
public:
    explicit Light(int index);
    // Removes the light from the current device's registry.
    ~Light() override;
    int index() const { return index_; }

private:
    int index_;
};

// A black directional light with the given index; only the device's
// createLight calls it.
Light* createLightObject(int index);

#endif
