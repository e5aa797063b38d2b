#pragma once
// Which layers collide with which: one mask per layer, read once at start-up from
// Settings/Collisionlayers.json, and the filter shader that compares them for each pair of shapes.
//
// A layer is a 32-bit value with one bit set: layer index i (0 to 4) has the value 1 << i. Every
// collider shape carries its layer in filter word0 and its layer's mask in word1, for simulation and
// scene queries alike.

#include <PxPhysicsAPI.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int kCollisionLayerCount = 5;
constexpr const char* kCollisionLayersPath = "Settings/Collisionlayers.json";

// Entry i: the layer bits that layer index i may touch. All 0 until LoadCollisionLayers fills them.
// Written only at start-up, on the main thread, before any collider exists; read by Collider::SetLayer.
extern std::int32_t collisionMasks[kCollisionLayerCount];

// The most a settings file may be: it holds five numbers, and a larger file is refused before it is
// read rather than held in memory whole.
constexpr std::size_t kMaxCollisionLayersFileBytes = std::size_t(1) << 20;

// Fills collisionMasks from the "Layer" array of the settings file. A missing, unreadable or too large
// file, invalid JSON, a root that is not an object or a missing "Layer" member leave every mask 0;
// only the first five elements are read; an element that is not an integer leaves its mask 0; an
// integer is taken as a 32-bit word. Each problem is said once on the console (Core/Problems.h): the
// file, what was wrong and where, and what the program does instead. A UTF-8 byte-order mark at the
// start is skipped, as editors write one.
void LoadCollisionLayers(const char* path = kCollisionLayersPath);

// Parses settings text as LoadCollisionLayers does its file, and returns its problems, one sentence
// each (without the file's name), instead of printing them. Offsets count bytes from the start of
// `text`. Nesting of any depth is parsed without recursion.
std::vector<std::string> LoadCollisionLayersFromText(std::string_view text);

// The mask of `layer` (the entry of its lowest set bit), or 0 for a layer with no entry (0, or a bit
// beyond the table).
std::int32_t CollisionMaskOf(std::int32_t layer);

// Keeps a pair when the first shape's layer is in the second shape's mask (one-sided, in the order
// the physics library presents the pair): solved, passed through contact modification, and its first
// and lost touches reported with contact points. Suppresses it otherwise. Runs on the physics worker
// threads; reads only its arguments.
physx::PxFilterFlags CollisionFilterShader(physx::PxFilterObjectAttributes attributes0, physx::PxFilterData filterData0,
    physx::PxFilterObjectAttributes attributes1, physx::PxFilterData filterData1, physx::PxPairFlags& pairFlags,
    const void* constantBlock, physx::PxU32 constantBlockSize);
