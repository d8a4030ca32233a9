#include "IndexBuffer.h"
#include "Light.h"
#include "RecordingDevice.h"
#include "Texture.h"
#include "VertexBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Notes the order in which resources are destroyed.
std::vector<std::string> destroyed;

class NotingTexture : public RecordingTexture {
public:
    NotingTexture() : RecordingTexture(false, nullptr, 1, 1) {}
    ~NotingTexture() override { destroyed.push_back("texture"); }
};

class NotingVertexBuffer : public RecordingVertexBuffer {
public:
    NotingVertexBuffer() : RecordingVertexBuffer(false, 3) {}
    ~NotingVertexBuffer() override { destroyed.push_back("vertices"); }
};

class NotingIndexBuffer : public RecordingIndexBuffer {
public:
    NotingIndexBuffer() : RecordingIndexBuffer(false, 3) {}
    ~NotingIndexBuffer() override { destroyed.push_back("indices"); }
};

class NotingLight : public Light {
public:
    explicit NotingLight(int index) : Light(index) {}
    ~NotingLight() override { destroyed.push_back("light"); }
};

}

TEST(DeviceResources, LightIndicesFollowTheRegistryRule)
{
    RecordingDevice device;
    Light* first = device.createLight();
    Light* second = device.createLight();
    EXPECT_EQ(first->index(), 0);
    EXPECT_EQ(second->index(), 1);
    delete first;
    ASSERT_EQ(device.registry().lights().size(), 2u);
    EXPECT_EQ(device.registry().lights()[0], nullptr);

    Light* third = device.createLight();
    EXPECT_EQ(third->index(), 0);   // the null slot 0 is free
    Light* fourth = device.createLight();
    EXPECT_EQ(fourth->index(), 3);  // not 2: the registry is [null, 1, 0]
    EXPECT_EQ(device.registry().lights().size(), 4u);

    // A new light is black and directional; its description reads back whole.
    LightDesc desc = third->desc();
    const float* fields = &desc.position[0];
    EXPECT_EQ(desc.type, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(fields[i], 0.0f);
    LightDesc set = {};
    set.type = 2;
    set.color[1] = 0.5f;
    set.spare = 7.0f;
    third->setDesc(set);
    EXPECT_EQ(third->desc().type, 2);
    EXPECT_EQ(third->desc().color[1], 0.5f);
    EXPECT_EQ(third->desc().spare, 7.0f);
}

TEST(DeviceResources, ReleaseDeletesWhatIsLeftInRegistryOrder)
{
    destroyed.clear();
    RecordingDevice device;
    ResourceRegistry& registry = device.registry();
    // Added in the reverse of the release order.
    registry.addLight(new NotingLight(0));
    registry.addTexture(new NotingTexture);
    Texture* ownedByGame = new NotingTexture;
    registry.addTexture(ownedByGame);
    registry.addVertexBuffer(new NotingVertexBuffer);
    registry.addIndexBuffer(new NotingIndexBuffer);

    delete ownedByGame;   // leaves a null entry behind
    ASSERT_EQ(registry.textures().size(), 2u);
    EXPECT_EQ(registry.textures()[1], nullptr);
    destroyed.clear();

    device.releaseAllResources();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"indices", "vertices", "texture", "light"}));
    EXPECT_TRUE(registry.indexBuffers().empty());
    EXPECT_TRUE(registry.vertexBuffers().empty());
    EXPECT_TRUE(registry.textures().empty());
    EXPECT_TRUE(registry.lights().empty());

    // Forgetting something the registry never held changes nothing.
    registry.addTexture(nullptr);
    NotingTexture stranger;
    registry.forgetTexture(&stranger);
    EXPECT_EQ(registry.textures().size(), 1u);
}

TEST(DeviceResources, ForgetNullsOnlyTheFirstEqualEntry)
{
    RecordingDevice device;
    ResourceRegistry& registry = device.registry();
    VertexBuffer* buffer = device.createVertexBuffer(false, 4);
    registry.addVertexBuffer(buffer);   // listed twice
    registry.forgetVertexBuffer(buffer);
    ASSERT_EQ(registry.vertexBuffers().size(), 2u);
    EXPECT_EQ(registry.vertexBuffers()[0], nullptr);
    EXPECT_EQ(registry.vertexBuffers()[1], buffer);
    registry.forgetVertexBuffer(buffer);
    delete buffer;
}

TEST(DeviceResources, NewBuffersHoldWhiteVerticesAndTheirCount)
{
    RecordingDevice device;
    VertexBuffer* vertices = createVertexBuffer(true, 5);
    IndexBuffer* indices = createIndexBuffer(false, 7);
    ASSERT_NE(vertices, nullptr);
    ASSERT_NE(indices, nullptr);
    EXPECT_TRUE(vertices->isDynamic());
    EXPECT_EQ(vertices->count(), 5);
    EXPECT_FALSE(indices->isDynamic());
    EXPECT_EQ(indices->count(), 7);
    Vertex* v = vertices->lock();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(v[i].color, 0xFFFFFFFFu);
    vertices->unlock();

    // A size no buffer can have gives an empty one, not a huge allocation.
    VertexBuffer* absurd = createVertexBuffer(false, -3);
    EXPECT_EQ(absurd->count(), 0);
}

TEST(DeviceResources, DestroyingTheDeviceReleasesWhatIsLeftAndClearsTheCurrentDevice)
{
    {
        RecordingDevice device;
        EXPECT_EQ(Device::instance(), &device);
        createBlankTexture(false, 4, 4);
        createIndexBuffer(false, 3);
        device.createLight();
    }
    EXPECT_EQ(Device::instance(), nullptr);
    // Without a device the wrappers create nothing.
    EXPECT_EQ(createBlankTexture(false, 4, 4), nullptr);
}
