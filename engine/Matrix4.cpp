#include "Matrix4.h"

#include <cmath>

namespace {
const float degreesToRadians = 0.017453292f;
}

Matrix4::Matrix4()
{
    setIdentity();
}

Matrix4::Matrix4(const Matrix4& other)
{
    for (int i = 0; i < 16; ++i)
        m[i] = other.m[i];
}

Matrix4::~Matrix4()
{
}

void Matrix4::setIdentity()
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void Matrix4::setTranslation(float x, float y, float z)
{
    m[3] = x;
    m[7] = y;
    m[11] = z;
}

void Matrix4::setScale(float x, float y, float z)
{
    m[0] = x;
    m[5] = y;
    m[10] = z;
}

void Matrix4::setRotation(float angleDegrees, float x, float y, float z)
{
    float len = std::sqrt(x * x + y * y + z * z);
    if (len < 1e-6f)
        return;
    x /= len;
    y /= len;
    z /= len;
    float a = angleDegrees * degreesToRadians;
    float c = std::cos(a);
    float s = std::sin(a);
    float t = 1.0f - c;

    m[0] = c + x * x * t;
    m[1] = x * y * t - z * s;
    m[2] = x * z * t + y * s;
    m[3] = 0.0f;
    m[4] = x * y * t + z * s;
    m[5] = c + y * y * t;
    m[6] = y * z * t - x * s;
    m[7] = 0.0f;
    m[8] = x * z * t - y * s;
    m[9] = y * z * t + x * s;
    m[10] = c + z * z * t;
    m[11] = 0.0f;
    m[12] = 0.0f;
    m[13] = 0.0f;
    m[14] = 0.0f;
    m[15] = 1.0f;
}

void Matrix4::setPerspective(float zNear, float zFar, float fovyDegrees, float aspect)
{
    float h = fovyDegrees * degreesToRadians * 0.5f;
    float s = std::sin(h);
    float c = std::cos(h);
    float g = zNear * s / (1.0f - zNear / zFar);

    for (int i = 0; i < 16; ++i)
        m[i] = 0.0f;
    m[0] = c / (g * aspect);
    m[5] = c / g;
    m[10] = -1.0f / zNear;
    m[11] = -1.0f;
    m[14] = -s / g;
}

Matrix4& Matrix4::assign(const Matrix4& other)
{
    for (int i = 0; i < 16; ++i)
        m[i] = other.m[i];
    return *this;
}

Matrix4& Matrix4::multiply(const Matrix4& other)
{
    float r[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += m[4 * i + k] * other.m[4 * k + j];
            r[4 * i + j] = sum;
        }
    }
    for (int i = 0; i < 16; ++i)
        m[i] = r[i];
    return *this;
}
