// The FBX SDK's public header for the stand-in: the classes, calls and enumeration values the
// model import uses, with the SDK's names and signatures, backed by our own FBX reader.
#pragma once

#include "fbxsdk/fbxcore.h"
#include "fbxsdk/fbxgeometry.h"
#include "fbxsdk/fbxobject.h"
#include "fbxsdk/fbxscene.h"

// Code written against the SDK commonly relies on the namespace being brought in by the header
// when FBXSDK_NAMESPACE_USING is set, as the SDK does by default.
#ifndef FBXSDK_NAMESPACE_USING
#define FBXSDK_NAMESPACE_USING 1
#endif
#if FBXSDK_NAMESPACE_USING
using namespace fbxsdk;
#endif
