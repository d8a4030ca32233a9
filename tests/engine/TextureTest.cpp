#include "Image.h"
#include "Matrix4.h"
#include "RecordingDevice.h"
#include "RenderState.h"
#include "Texture.h"

#include <gtest/gtest.h>

#include <utility>

TEST(Texture, NextPowerOfTwo)
{
    const std::pair<int, int> cases[] = {{1, 1},    {3, 4},      {64, 64}, {480, 512},
                                         {640, 1024}, {0, 0},    {-5, 0},  {1 << 30, 1 << 30},
                                         {(1 << 30) + 1, 1 << 30}};
    for (auto [n, expected] : cases)
        EXPECT_EQ(nextPowerOfTwo(n), expected) << "n = " << n;
}

TEST(Texture, UploadFlipsRowsForcesOpacityAndStretchesToPowerOfTwo)
{
    RecordingDevice device;
    // 3 x 2 pixels, rows top first; alpha bytes deliberately not 255.
    const uint32_t pixels[6] = {0x00000001, 0x10000002, 0x20000003,
                                0x30000004, 0x40000005, 0x50000006};
    auto* texture = static_cast<RecordingTexture*>(createTexture(false, pixels, 3, 2));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width(), 3);
    EXPECT_EQ(texture->height(), 2);
    EXPECT_EQ(texture->textureWidth(), 4);
    EXPECT_EQ(texture->textureHeight(), 2);
    EXPECT_FALSE(texture->isRenderTarget());
    // First texel row = last pixel row, columns 0, 0, 1, 2.
    const uint32_t expected[8] = {0xFF000004, 0xFF000004, 0xFF000005, 0xFF000006,
                                  0xFF000001, 0xFF000001, 0xFF000002, 0xFF000003};
    ASSERT_EQ(texture->texels().size(), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(texture->texels()[i], expected[i]) << "texel " << i;
}

TEST(Texture, UploadEqualsTheImagePipeline)
{
    // createImage (opaque), flipVertical, resize to the power-of-two size.
    for (auto [width, height] : {std::pair<int, int>{5, 3}, {7, 9}, {16, 1}, {1, 33}}) {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint32_t>(i * 0x01030507u);
        Image image(pixels.data(), width, height, true);
        image.flipVertical();
        image.resize(nextPowerOfTwo(width), nextPowerOfTwo(height));
        std::vector<uint32_t> expected(image.pixels(), image.pixels() + image.width() * image.height());
        EXPECT_EQ(buildTextureTexels(pixels.data(), width, height), expected) << width << " x " << height;
    }
}

TEST(Texture, BlankTexturesAreTransparentBlackAndAbsurdSizesGetNoStorage)
{
    EXPECT_EQ(buildTextureTexels(nullptr, 3, 5), std::vector<uint32_t>(4 * 8, 0u));
    EXPECT_TRUE(buildTextureTexels(nullptr, 0, 5).empty());
    EXPECT_TRUE(buildTextureTexels(nullptr, -1, -1).empty());
    const uint32_t one = 0xFF123456;
    EXPECT_TRUE(buildTextureTexels(&one, maxTextureSide + 1, 1).empty());
}

TEST(Texture, SetAlphaWithAndWithoutBlackKey)
{
    RecordingDevice device;
    Texture* blank = createBlankTexture(false, 1, 1);
    blank->setAlpha(176, false);
    EXPECT_EQ(blank->lock()[0], 0xB0000000u);
    blank->unlock();
    Texture* keyed = createBlankTexture(false, 1, 1);
    keyed->setAlpha(176, true);
    EXPECT_EQ(keyed->lock()[0], 0u);
    keyed->unlock();

    const uint32_t pixels[2] = {0xFF000000, 0xFF000001};
    auto* picture = static_cast<RecordingTexture*>(createTexture(false, pixels, 2, 1));
    picture->setAlpha(255, true);
    EXPECT_EQ(picture->texel(0, 0), 0u);
    EXPECT_EQ(picture->texel(1, 0), 0xFF000001u);
    EXPECT_EQ(picture->locks(), 1);
    EXPECT_EQ(picture->unlocks(), 1);
}

namespace {

// Window pixel of a vertex drawn by Texture::draw, through the device's
// matrices as they are at the draw.
std::pair<float, float> windowPixel(const RecordingDevice& device, const Vertex& v, int width,
                                    int height)
{
    Matrix4 m(device.projection());
    m.multiply(device.modelView());
    float x = m.m[0] * v.x + m.m[1] * v.y + m.m[2] * v.z + m.m[3];
    float y = m.m[4] * v.x + m.m[5] * v.y + m.m[6] * v.z + m.m[7];
    float w = m.m[12] * v.x + m.m[13] * v.y + m.m[14] * v.z + m.m[15];
    return {(x / w + 1) * width / 2, (1 - y / w) * height / 2};
}

class CapturingDevice : public RecordingDevice {
public:
    std::vector<std::pair<float, float>> corners;
    std::vector<std::pair<float, float>> texCoords;
    void drawTriangle(const Vertex v[3]) override
    {
        RecordingDevice::drawTriangle(v);
        for (int i = 0; i < 3; ++i) {
            corners.push_back(windowPixel(*this, v[i], width(), height()));
            texCoords.emplace_back(v[i].u1, v[i].v1);
        }
    }
};

}

TEST(Texture, DrawAtCoversItsOwnSizeAtTheGivenCorner)
{
    CapturingDevice device;
    device.setSize(640, 480);
    device.resetRenderStates();
    Texture* texture = createBlankTexture(false, 100, 50);
    texture->drawAt(10, 20);
    ASSERT_EQ(device.corners.size(), 6u);
    float left = 1e9f, right = -1e9f, top = 1e9f, bottom = -1e9f;
    for (auto [x, y] : device.corners) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    EXPECT_NEAR(left, 10, 0.01);
    EXPECT_NEAR(right, 110, 0.01);
    EXPECT_NEAR(top, 20, 0.01);
    EXPECT_NEAR(bottom, 70, 0.01);
    // The top-left corner shows v = 1 (the top of the flipped texels) and u = 0.
    for (size_t i = 0; i < 6; ++i) {
        bool isTop = std::abs(device.corners[i].second - 20) < 0.01f;
        bool isLeft = std::abs(device.corners[i].first - 10) < 0.01f;
        EXPECT_EQ(device.texCoords[i].second, isTop ? 1.0f : 0.0f);
        EXPECT_EQ(device.texCoords[i].first, isLeft ? 0.0f : 1.0f);
    }
}

TEST(Texture, DrawLeavesTheDeviceAsItFoundIt)
{
    RecordingDevice device;
    device.resetRenderStates();
    Texture* texture = createBlankTexture(false, 8, 8);
    device.setTextureStage(1);
    device.setMatrixMode(0);
    device.rotate(30, 0, 1, 0);
    device.setMatrixMode(1);
    device.translate(1, 2, 3);
    device.setRenderState(RenderStateType::cullMode, RenderStateValue::cullCounterClockwise);
    device.setRenderState(RenderStateType::textureMode, RenderStateValue::textureClamp);
    Matrix4 projection(device.projection());
    Matrix4 modelView(device.modelView());

    texture->draw(0, 0, 8, 8, 0, 0, 1, 1);

    EXPECT_EQ(device.textureStage(), 1);
    EXPECT_EQ(device.matrixMode(), 1);
    EXPECT_EQ(device.matrixDepth(), 0);
    EXPECT_EQ(device.matrixErrors(), 0);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(device.projection().m[i], projection.m[i]);
        EXPECT_EQ(device.modelView().m[i], modelView.m[i]);
    }
    EXPECT_EQ(device.getRenderState(RenderStateType::cullMode), RenderStateValue::cullCounterClockwise);
    EXPECT_EQ(device.getRenderState(RenderStateType::depthTest), RenderStateValue::depthGreater);
    EXPECT_EQ(device.getRenderState(RenderStateType::textureMode), RenderStateValue::textureClamp);
    EXPECT_EQ(device.renderStates().depth(), 1);
    EXPECT_EQ(device.boundTexture(0), texture);
    EXPECT_EQ(device.count("drawTriangle"), 2);
}

TEST(Texture, LoadTextureOfAMissingFileGivesNull)
{
    RecordingDevice device;
    EXPECT_EQ(loadTexture(false, "no/such/picture.png", true), nullptr);
    EXPECT_EQ(device.count("createTexture"), 0);
}
