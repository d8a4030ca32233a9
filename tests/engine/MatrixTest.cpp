#include "Matrix4.h"

#include <gtest/gtest.h>

namespace {

struct Point {
    float x, y, z, w;
};

Point apply(const Matrix4& m, Point p)
{
    const float* a = m.m;
    return Point{a[0] * p.x + a[1] * p.y + a[2] * p.z + a[3] * p.w,
                 a[4] * p.x + a[5] * p.y + a[6] * p.z + a[7] * p.w,
                 a[8] * p.x + a[9] * p.y + a[10] * p.z + a[11] * p.w,
                 a[12] * p.x + a[13] * p.y + a[14] * p.z + a[15] * p.w};
}

void expectSameMatrix(const Matrix4& a, const Matrix4& b, float tolerance = 1e-6f)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
}

}

TEST(Matrix4, RotationTurnsCounterClockwiseAboutTheAxis)
{
    Matrix4 r;
    r.setRotation(90, 0, 0, 1);
    Point p = apply(r, Point{1, 0, 0, 1});
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 1, 1e-6);
    EXPECT_NEAR(p.z, 0, 1e-6);
    EXPECT_NEAR(p.w, 1, 1e-6);

    // The axis is normalised.
    Matrix4 longAxis, unitAxis;
    longAxis.setRotation(30, 0, 0, 2);
    unitAxis.setRotation(30, 0, 0, 1);
    expectSameMatrix(longAxis, unitAxis);
}

TEST(Matrix4, RotationAboutAVanishingAxisChangesNothing)
{
    for (float axisX : {0.0f, 1e-7f}) {
        Matrix4 m;
        m.setTranslation(1, 2, 3);
        Matrix4 before(m);
        m.setRotation(45, axisX, 0, 0);
        expectSameMatrix(m, before, 0);
    }
}

TEST(Matrix4, PerspectiveValues)
{
    Matrix4 p;
    p.setPerspective(1, 100, 90, 2);
    EXPECT_NEAR(p.m[0], 0.495f, 1e-5);
    EXPECT_NEAR(p.m[5], 0.99f, 1e-5);
    EXPECT_NEAR(p.m[10], -1.0f, 1e-6);
    EXPECT_NEAR(p.m[11], -1.0f, 1e-6);
    EXPECT_NEAR(p.m[14], -0.99f, 1e-5);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15})
        EXPECT_EQ(p.m[i], 0.0f) << "element " << i;

    // Depth runs from 0 at the near plane to 1 at the far plane.
    for (auto [z, depth] : {std::pair<float, float>{-1, 0}, {-100, 1}}) {
        Point q = apply(p, Point{0, 0, z, 1});
        EXPECT_NEAR(q.z / q.w, depth, 1e-5) << "z " << z;
    }
}

TEST(Matrix4, ScreenPerspectiveKeepsXAndYAtDepthOne)
{
    // The projection Texture::draw uses to put window rectangles on screen.
    Matrix4 p;
    p.setPerspective(0.00001f, 900000, 90, 1);
    EXPECT_NEAR(p.m[0], -p.m[14], 1.0);
    EXPECT_NEAR(p.m[5], -p.m[14], 1.0);
    EXPECT_NEAR(p.m[0], 100000, 10);
    Point q = apply(p, Point{0.25f, -0.75f, -1, 1});
    EXPECT_NEAR(q.x / q.w, 0.25f, 1e-4);
    EXPECT_NEAR(q.y / q.w, -0.75f, 1e-4);
}

TEST(Matrix4, MultiplyAppliesTheRightHandMatrixFirst)
{
    Matrix4 t, s;
    t.setTranslation(1, 2, 3);
    s.setScale(2, 2, 2);
    Matrix4 ts(t);
    ts.multiply(s);
    Point p = apply(ts, Point{1, 1, 1, 1});
    EXPECT_FLOAT_EQ(p.x, 3);
    EXPECT_FLOAT_EQ(p.y, 4);
    EXPECT_FLOAT_EQ(p.z, 5);
    EXPECT_FLOAT_EQ(p.w, 1);

    // Multiplying by itself uses the old elements throughout.
    Matrix4 r;
    r.setRotation(30, 1, 2, 3);
    Matrix4 expected(r);
    Matrix4 copy(r);
    expected.multiply(copy);
    r.multiply(r);
    expectSameMatrix(r, expected);
}

TEST(Matrix4, SettersTouchOnlyTheirElements)
{
    Matrix4 m;
    m.setScale(2, 3, 4);
    m.setTranslation(5, 6, 7);
    const float expected[16] = {2, 0, 0, 5, 0, 3, 0, 6, 0, 0, 4, 7, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m.m[i], expected[i]) << "element " << i;
    Matrix4 other;
    EXPECT_EQ(&other.assign(m), &other);
    expectSameMatrix(other, m, 0);
}
