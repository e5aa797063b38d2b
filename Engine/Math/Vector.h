#pragma once
// Small vectors of single-precision floats.

#include <cmath>

struct Float2 {
    float x = 0.0f;
    float y = 0.0f;
};

struct Float3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Float4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;
};

constexpr bool operator==(const Float2& a, const Float2& b)
{
    return a.x == b.x && a.y == b.y;
}
constexpr bool operator==(const Float3& a, const Float3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
constexpr bool operator==(const Float4& a, const Float4& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

constexpr Float3 operator+(const Float3& a, const Float3& b)
{
    return { a.x + b.x, a.y + b.y, a.z + b.z };
}
constexpr Float3 operator-(const Float3& a, const Float3& b)
{
    return { a.x - b.x, a.y - b.y, a.z - b.z };
}
constexpr Float3 operator-(const Float3& a)
{
    return { -a.x, -a.y, -a.z };
}
constexpr Float3 operator*(const Float3& a, float s)
{
    return { a.x * s, a.y * s, a.z * s };
}
constexpr Float3 operator*(float s, const Float3& a)
{
    return a * s;
}

constexpr float Dot(const Float3& a, const Float3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr Float3 Cross(const Float3& a, const Float3& b)
{
    return { a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
}

inline float Length(const Float3& a)
{
    return std::sqrt(Dot(a, a));
}

// The unit vector along `a`; the zero vector stays zero rather than becoming NaN.
inline Float3 Normalize(const Float3& a)
{
    float length = Length(a);
    return length > 0.0f ? a * (1.0f / length) : Float3 {};
}

constexpr Float3 XYZ(const Float4& a)
{
    return { a.x, a.y, a.z };
}
