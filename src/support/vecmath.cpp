#include "support/vecmath.h"

#include <cmath>

void IdentityMatrix(Matrix4& out)
{
    out = Matrix4{};
    out.m[0][0] = out.m[1][1] = out.m[2][2] = out.m[3][3] = 1.0f;
}

void RotationYMatrix(Matrix4& out, float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    out = Matrix4{{{c, 0.0f, -s, 0.0f},
                   {0.0f, 1.0f, 0.0f, 0.0f},
                   {s, 0.0f, c, 0.0f},
                   {0.0f, 0.0f, 0.0f, 1.0f}}};
}

void RotationZMatrix(Matrix4& out, float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    out = Matrix4{{{c, s, 0.0f, 0.0f},
                   {-s, c, 0.0f, 0.0f},
                   {0.0f, 0.0f, 1.0f, 0.0f},
                   {0.0f, 0.0f, 0.0f, 1.0f}}};
}

void MultiplyMatrix(Matrix4& out, const Matrix4& a, const Matrix4& b)
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] +
                          a.m[r][3] * b.m[3][c];
        }
    }
}

void LookAtMatrix(Matrix4& out, const Vec3& eye, const Vec3& at, const Vec3& up)
{
    Vec3 z;
    SubtractVec3(z, at, eye);
    NormalizeVec3(z, z);

    Vec3 y;
    ScaleVec3(y, z, DotVec3(up, z));
    SubtractVec3(y, up, y);
    NormalizeVec3(y, y);

    Vec3 x;
    CrossVec3(x, y, z);

    const float tx = -DotVec3(x, eye);
    const float ty = -DotVec3(y, eye);
    const float tz = -DotVec3(z, eye);
    out = Matrix4{
        {{x.x, y.x, z.x, 0.0f}, {x.y, y.y, z.y, 0.0f}, {x.z, y.z, z.z, 0.0f}, {tx, ty, tz, 1.0f}}};
}

void PerspectiveMatrix(Matrix4& out, float fov, float aspect, float zn, float zf)
{
    const float half = fov * 0.5f;
    const float t = std::cos(half) / std::sin(half);
    out = Matrix4{};
    out.m[1][1] = t;
    out.m[0][0] = t / aspect;
    out.m[2][2] = zf / (zf - zn);
    out.m[3][2] = -zn * zf / (zf - zn);
    out.m[2][3] = 1.0f;
}

void TransformPoint(Vec3& out, const Vec3& v, const Matrix4& m)
{
    const float x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0];
    const float y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1];
    const float z = v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2];
    out = Vec3{x, y, z};
}

void NormalizeVec3(Vec3& out, const Vec3& v)
{
    const float k = 1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    out = Vec3{v.x * k, v.y * k, v.z * k};
}

void CrossVec3(Vec3& out, const Vec3& a, const Vec3& b)
{
    out = Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void ScaleVec3(Vec3& out, const Vec3& v, float s)
{
    out = Vec3{v.x * s, v.y * s, v.z * s};
}

void SubtractVec3(Vec3& out, const Vec3& a, const Vec3& b)
{
    out = Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

float DotVec3(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
