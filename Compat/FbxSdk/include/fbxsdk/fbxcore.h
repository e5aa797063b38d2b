// Value types of the FBX SDK: strings, status, vectors, colours, the affine matrix, time and
// distance, and class ids.
#pragma once

#include <cstdint>
#include <string>

namespace fbxsdk {

using FbxInt64 = long long;
using FbxLongLong = long long;
using FbxUInt64 = unsigned long long;
using FbxDouble = double;
using FbxFloat = float;
using FbxBool = bool;
using FbxInt = int;

class FbxString {
public:
    FbxString() = default;
    FbxString(const char* s)
        : mText(s ? s : "")
    {
    }
    FbxString(const std::string& s)
        : mText(s)
    {
    }
    const char* Buffer() const { return mText.c_str(); }
    operator const char*() const { return mText.c_str(); }
    std::size_t Size() const { return mText.size(); }
    bool IsEmpty() const { return mText.empty(); }
    bool operator==(const FbxString& o) const { return mText == o.mText; }
    bool operator!=(const FbxString& o) const { return mText != o.mText; }
    bool operator==(const char* o) const { return mText == (o ? o : ""); }
    FbxString& operator+=(const FbxString& o)
    {
        mText += o.mText;
        return *this;
    }
    const std::string& Str() const { return mText; }

private:
    std::string mText;
};

class FbxStatus {
public:
    enum EStatusCode {
        eSuccess = 0,
        eFailure,
        eInsufficientMemory,
        eInvalidParameter,
        eIndexOutOfRange,
        ePasswordError,
        eInvalidFileVersion,
        eInvalidFile,
        eSceneCheckFail
    };
    EStatusCode GetCode() const { return mCode; }
    bool Error() const { return mCode != eSuccess; }
    const char* GetErrorString() const { return mText.c_str(); }
    void SetCode(EStatusCode code, const char* text = nullptr)
    {
        mCode = code;
        mText = text ? text : "";
    }
    void Clear() { SetCode(eSuccess); }

private:
    EStatusCode mCode = eSuccess;
    std::string mText;
};

template <class T, int N>
struct FbxVectorTemplate {
    T mData[N] = {};
    T& operator[](int i) { return mData[i]; }
    const T& operator[](int i) const { return mData[i]; }
    T* Buffer() { return mData; }
    const T* Buffer() const { return mData; }
};

struct FbxDouble2 : FbxVectorTemplate<double, 2> {
    FbxDouble2() = default;
    FbxDouble2(double x, double y) { mData[0] = x, mData[1] = y; }
};
struct FbxDouble3 : FbxVectorTemplate<double, 3> {
    FbxDouble3() = default;
    FbxDouble3(double x, double y, double z) { mData[0] = x, mData[1] = y, mData[2] = z; }
};
struct FbxDouble4 : FbxVectorTemplate<double, 4> {
    FbxDouble4() = default;
    FbxDouble4(double x, double y, double z, double w) { mData[0] = x, mData[1] = y, mData[2] = z, mData[3] = w; }
};

class FbxVector2 : public FbxDouble2 {
public:
    FbxVector2() = default;
    FbxVector2(double x, double y)
        : FbxDouble2(x, y)
    {
    }
    bool operator==(const FbxVector2& o) const { return mData[0] == o.mData[0] && mData[1] == o.mData[1]; }
};

class FbxVector4 : public FbxDouble4 {
public:
    FbxVector4() = default;
    FbxVector4(double x, double y, double z, double w = 1.0)
        : FbxDouble4(x, y, z, w)
    {
    }
    FbxVector4(const FbxDouble3& v)
        : FbxDouble4(v[0], v[1], v[2], 1.0)
    {
    }
    // The small operations are defined here, where the hot loops of conversion and triangulation
    // can inline them.
    FbxVector4 operator+(const FbxVector4& o) const
    {
        return FbxVector4(mData[0] + o.mData[0], mData[1] + o.mData[1], mData[2] + o.mData[2], mData[3] + o.mData[3]);
    }
    FbxVector4 operator-(const FbxVector4& o) const
    {
        return FbxVector4(mData[0] - o.mData[0], mData[1] - o.mData[1], mData[2] - o.mData[2], mData[3] - o.mData[3]);
    }
    FbxVector4 operator*(double s) const { return FbxVector4(mData[0] * s, mData[1] * s, mData[2] * s, mData[3] * s); }
    bool operator==(const FbxVector4& o) const
    {
        return mData[0] == o.mData[0] && mData[1] == o.mData[1] && mData[2] == o.mData[2] && mData[3] == o.mData[3];
    }
    double DotProduct(const FbxVector4& o) const // x, y and z only
    {
        return mData[0] * o.mData[0] + mData[1] * o.mData[1] + mData[2] * o.mData[2];
    }
    FbxVector4 CrossProduct(const FbxVector4& o) const
    {
        return FbxVector4(mData[1] * o.mData[2] - mData[2] * o.mData[1], mData[2] * o.mData[0] - mData[0] * o.mData[2],
            mData[0] * o.mData[1] - mData[1] * o.mData[0], 0.0);
    }
    double Length() const; // of x, y and z
    double Normalize(); // x, y and z; returns the old length
};

class FbxColor {
public:
    FbxColor() = default;
    FbxColor(double r, double g, double b, double a = 1.0)
        : mRed(r)
        , mGreen(g)
        , mBlue(b)
        , mAlpha(a)
    {
    }
    bool operator==(const FbxColor& o) const
    {
        return mRed == o.mRed && mGreen == o.mGreen && mBlue == o.mBlue && mAlpha == o.mAlpha;
    }
    double mRed = 0.0, mGreen = 0.0, mBlue = 0.0, mAlpha = 1.0;
};

// An affine 4x4 matrix. Row r of the storage is mData[r]; the translation is row 3, and a
// point p is transformed as M * p with the rows acting as the matrix's columns, so A * B
// applies B first (the child-local transform is on the right of its parent's).
class FbxAMatrix {
public:
    FbxAMatrix();
    FbxAMatrix(const FbxVector4& t, const FbxVector4& r, const FbxVector4& s);
    void SetIdentity();
    void SetT(const FbxVector4& t);
    void SetR(const FbxVector4& eulerXYZDegrees);
    void SetS(const FbxVector4& s);
    void SetTRS(const FbxVector4& t, const FbxVector4& r, const FbxVector4& s);
    FbxVector4 GetT() const;
    FbxVector4 GetR() const; // Euler XYZ in degrees
    FbxVector4 GetS() const;
    FbxVector4 GetRow(int y) const { return mData[y]; }
    FbxVector4 GetColumn(int x) const { return FbxVector4(mData[0][x], mData[1][x], mData[2][x], mData[3][x]); }
    void SetRow(int y, const FbxVector4& row) { mData[y] = row; }
    double Get(int y, int x) const { return mData[y][x]; }
    FbxVector4& operator[](int y) { return mData[y]; }
    const FbxVector4& operator[](int y) const { return mData[y]; }
    FbxAMatrix Inverse() const;
    FbxAMatrix Transpose() const;
    FbxAMatrix operator*(const FbxAMatrix& m) const;
    bool operator==(const FbxAMatrix& m) const;
    bool operator!=(const FbxAMatrix& m) const { return !(*this == m); }
    FbxVector4 MultT(const FbxVector4& v) const; // point: rotation, scale and translation
    FbxVector4 MultR(const FbxVector4& v) const; // direction: no translation
    double Determinant() const;

    FbxVector4 mData[4];
};

class FbxTime {
public:
    FbxTime(FbxLongLong time = 0)
        : mTime(time)
    {
    }
    FbxLongLong Get() const { return mTime; }

private:
    FbxLongLong mTime;
};
#define FBXSDK_TIME_INFINITE fbxsdk::FbxTime(0x7fffffffffffffffLL)

class FbxDistance {
public:
    FbxDistance() = default;
    FbxDistance(float value, const FbxString& unit)
        : mValue(value)
        , mUnit(unit)
    {
    }
    float value() const { return mValue; }
    FbxString unitName() const { return mUnit; }

private:
    float mValue = 0.0f;
    FbxString mUnit = "cm";
};

enum EFbxRotationOrder { eEulerXYZ, eEulerXZY, eEulerYZX, eEulerYXZ, eEulerZXY, eEulerZYX, eSphericXYZ };

struct FbxClassIdInfo {
    const char* name;
    const FbxClassIdInfo* parent;
};

class FbxClassId {
public:
    constexpr FbxClassId(const FbxClassIdInfo* info = nullptr)
        : mInfo(info)
    {
    }
    const char* GetName() const { return mInfo ? mInfo->name : ""; }
    bool IsValid() const { return mInfo != nullptr; }
    // True when this class is `other` or derives from it.
    bool Is(const FbxClassId& other) const;
    bool operator==(const FbxClassId& o) const { return mInfo == o.mInfo; }
    bool operator!=(const FbxClassId& o) const { return mInfo != o.mInfo; }

private:
    const FbxClassIdInfo* mInfo;
};

} // namespace fbxsdk
