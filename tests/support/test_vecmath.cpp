#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/vecmath.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectVecNear(const Vec3& v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

}  // namespace

TEST(VecMath, LookAtOfTheSceneCameraIsATranslation)
{
    Matrix4 view;
    LookAtMatrix(view, Vec3{2.0f, 1.5f, -3.6f}, Vec3{2.0f, 1.5f, 0.0f}, Vec3{0.0f, 1.0f, 0.0f});
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(view.m[r][c], (r == c) ? 1.0f : 0.0f);
    }
    EXPECT_EQ(view.m[3][0], -2.0f);
    EXPECT_EQ(view.m[3][1], -1.5f);
    EXPECT_EQ(view.m[3][2], 3.6f);
    EXPECT_EQ(view.m[3][3], 1.0f);
}

TEST(VecMath, LookAtIsLeftHandedAndOrthonormal)
{
    Matrix4 view;
    const Vec3 eye{1.0f, 2.0f, 3.0f};
    LookAtMatrix(view, eye, Vec3{4.0f, -1.0f, 7.0f}, Vec3{0.2f, 1.0f, 0.1f});
    // The eye goes to the origin and the target onto +z.
    Vec3 p;
    TransformPoint(p, eye, view);
    ExpectVecNear(p, 0.0f, 0.0f, 0.0f, 1e-5f);
    TransformPoint(p, Vec3{4.0f, -1.0f, 7.0f}, view);
    EXPECT_NEAR(p.x, 0.0f, 1e-5f);
    EXPECT_NEAR(p.y, 0.0f, 1e-5f);
    EXPECT_GT(p.z, 0.0f);
    // Columns 0..2 of the upper block are unit and pairwise perpendicular.
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            float dot = 0.0f;
            for (int r = 0; r < 3; ++r) dot += view.m[r][a] * view.m[r][b];
            EXPECT_NEAR(dot, a == b ? 1.0f : 0.0f, 1e-6f);
        }
    }
}

TEST(VecMath, PerspectiveOfTheSceneCamera)
{
    Matrix4 projection;
    PerspectiveMatrix(projection, kPi / 4.0f, 4.0f / 3.0f, 1.0f, 100.0f);
    EXPECT_NEAR(projection.m[0][0], 1.81066f, 1e-5f);
    EXPECT_NEAR(projection.m[1][1], 2.41421f, 1e-5f);
    EXPECT_NEAR(projection.m[2][2], 1.0101f, 1e-5f);
    EXPECT_NEAR(projection.m[3][2], -1.0101f, 1e-5f);
    EXPECT_EQ(projection.m[2][3], 1.0f);
    EXPECT_EQ(projection.m[3][3], 0.0f);
    EXPECT_EQ(projection.m[0][1], 0.0f);
}

TEST(VecMath, RotationProductAppliesZAfterY)
{
    for (float phi : {0.3f, -1.2f, 1.5707964f}) {
        for (float theta : {0.1f, 2.0f, 3.1415927f}) {
            Matrix4 rz, ry, product;
            RotationZMatrix(rz, phi);
            RotationYMatrix(ry, theta);
            MultiplyMatrix(product, rz, ry);
            Vec3 p;
            TransformPoint(p, Vec3{1.0f, 0.0f, 0.0f}, product);
            ExpectVecNear(p, std::cos(phi) * std::cos(theta), std::sin(phi),
                          -std::cos(phi) * std::sin(theta));
        }
    }
    Matrix4 rz;
    RotationZMatrix(rz, 0.5f);
    Vec3 p;
    TransformPoint(p, Vec3{1.0f, 0.0f, 0.0f}, rz);
    ExpectVecNear(p, std::cos(0.5f), std::sin(0.5f), 0.0f);
}

TEST(VecMath, MultiplyKeepsRowMajorOrderAndTranslationInTheBottomRow)
{
    Matrix4 a{}, b{}, out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            a.m[r][c] = static_cast<float>(r * 4 + c);
            b.m[r][c] = static_cast<float>((r == c) ? 2 : 0);
        }
    }
    MultiplyMatrix(out, a, b);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(out.m[r][c], 2.0f * a.m[r][c]);
    }
    Matrix4 identity;
    IdentityMatrix(identity);
    identity.m[3][0] = 5.0f;
    identity.m[3][2] = -1.0f;
    Vec3 p{1.0f, 2.0f, 3.0f};
    TransformPoint(p, p, identity);  // the result may overwrite its input
    ExpectVecNear(p, 6.0f, 2.0f, 2.0f, 0.0f);
}

TEST(VecMath, CrossNormalizeScaleSubtractDot)
{
    for (float u : {-1.143f, 0.0f, 0.9f}) {
        for (float v : {-0.9f, 0.0f, 1.143f}) {
            Vec3 n;
            CrossVec3(n, Vec3{-1.0f, 1.0f, u}, Vec3{1.0f, 1.0f, v});
            ExpectVecNear(n, v - u, u + v, -2.0f, 0.0f);
        }
    }
    Vec3 unit{0.6f, 0.0f, -0.8f};
    NormalizeVec3(unit, unit);
    ExpectVecNear(unit, 0.6f, 0.0f, -0.8f, 1e-7f);
    Vec3 n;
    NormalizeVec3(n, Vec3{0.0f, -0.9f, -2.0f});
    EXPECT_NEAR(std::sqrt(DotVec3(n, n)), 1.0f, 1e-6f);

    Vec3 s{1.0f, -2.0f, 3.0f};
    ScaleVec3(s, s, -0.5f);
    ExpectVecNear(s, -0.5f, 1.0f, -1.5f, 0.0f);
    Vec3 d{1.0f, 2.0f, 3.0f};
    SubtractVec3(d, d, Vec3{0.5f, 4.0f, -1.0f});
    ExpectVecNear(d, 0.5f, -2.0f, 4.0f, 0.0f);
    EXPECT_EQ(DotVec3(Vec3{1.0f, 2.0f, 3.0f}, Vec3{4.0f, -5.0f, 6.0f}), 12.0f);
}
