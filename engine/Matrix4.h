#ifndef QUORIN_MATRIX4_H
#define QUORIN_MATRIX4_H

// 4 x 4 transform, row by row: element (row r, column c) is m[4 * r + c].
// Vectors are columns multiplied on the right; the translation sits in
// m[3], m[7] and m[11].
class Matrix4 {
public:
    Matrix4();
    Matrix4(const Matrix4& other);
    Matrix4& operator=(const Matrix4& other) = default;
    virtual ~Matrix4();

    void setIdentity();
    // The two setters below write only their three elements; apply them to
    // an identity.
    void setTranslation(float x, float y, float z);
    void setScale(float x, float y, float z);
    // Rotation about (x, y, z), right-handed; an axis shorter than 1e-6
    // leaves the matrix unchanged.
    void setRotation(float angleDegrees, float x, float y, float z);
    // Projection with depth running from 0 at zNear to 1 at zFar.
    void setPerspective(float zNear, float zFar, float fovyDegrees, float aspect);
    Matrix4& assign(const Matrix4& other);
    // this = this x other: applied to a vector, other acts first.
    Matrix4& multiply(const Matrix4& other);

    float m[16];
};

#endif
