// Single-precision vectors and matrices in Direct3D's conventions: row vectors on the left,
// translation in the bottom row, left-handed, camera looking along +z.
// Each operation writes its result through the first argument. Apart from MultiplyMatrix,
// the result may share storage with an input.
#pragma once

struct Vec3 {
    float x, y, z;
};

// Row-major: m[r][c] is float number 4 * r + c.
struct Matrix4 {
    float m[4][4];
};

void IdentityMatrix(Matrix4& out);
void RotationYMatrix(Matrix4& out, float angle);
void RotationZMatrix(Matrix4& out, float angle);
// out = a * b (a applied first); out must not be a or b.
void MultiplyMatrix(Matrix4& out, const Matrix4& a, const Matrix4& b);
void LookAtMatrix(Matrix4& out, const Vec3& eye, const Vec3& at, const Vec3& up);
void PerspectiveMatrix(Matrix4& out, float fov, float aspect, float zn, float zf);
// (v, 1) * m without the division by w.
void TransformPoint(Vec3& out, const Vec3& v, const Matrix4& m);
void NormalizeVec3(Vec3& out, const Vec3& v);
void CrossVec3(Vec3& out, const Vec3& a, const Vec3& b);
void ScaleVec3(Vec3& out, const Vec3& v, float s);
void SubtractVec3(Vec3& out, const Vec3& a, const Vec3& b);
float DotVec3(const Vec3& a, const Vec3& b);
