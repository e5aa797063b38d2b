#include "Platform/RecycledBlocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kMiB = std::size_t(1) << 20;

// Fills a block and reads it back, so a block handed out twice or too small shows under the sanitizers.
void Use(void* block, std::size_t bytes, std::uint8_t value)
{
    std::memset(block, value, bytes);
    const auto* bytesOf = static_cast<const std::uint8_t*>(block);
    EXPECT_EQ(bytesOf[0], value);
    EXPECT_EQ(bytesOf[bytes - 1], value);
}

TEST(RecycledBlocks, AGivenBackBlockServesTheNextRequestItFitsAndNoOther)
{
    const std::size_t before = KeptBlockBytes();

    // Small blocks are not kept.
    void* small = AcquireBlock(kRecycledBlockBytes - 1);
    Use(small, kRecycledBlockBytes - 1, 1);
    ReleaseBlock(small, kRecycledBlockBytes - 1);
    EXPECT_EQ(KeptBlockBytes(), before);

    // A large block comes back for the same request, and for a slightly smaller one, whole.
    const std::size_t large = 24 * kMiB;
    void* first = AcquireBlock(large);
    Use(first, large, 2);
    ReleaseBlock(first, large);
    EXPECT_EQ(KeptBlockBytes(), before + large);
    void* again = AcquireBlock(large);
    EXPECT_EQ(again, first);
    EXPECT_EQ(KeptBlockBytes(), before);
    Use(again, large, 3);
    ReleaseBlock(again, large);
    void* smaller = AcquireBlock(large - kMiB);
    EXPECT_EQ(smaller, first) << "a request within the allowed waste takes the kept block";
    ReleaseBlock(smaller, large - kMiB);
    EXPECT_EQ(KeptBlockBytes(), before + large) << "given back at its real size";

    // Neither a larger request nor one far smaller takes it.
    void* larger = AcquireBlock(large + kMiB);
    EXPECT_NE(larger, first);
    Use(larger, large + kMiB, 4);
    void* farSmaller = AcquireBlock(large / kRecycledBlockLargestWaste - kMiB);
    EXPECT_NE(farSmaller, first);
    Use(farSmaller, large / kRecycledBlockLargestWaste - kMiB, 5);
    ReleaseBlock(larger, large + kMiB);
    ReleaseBlock(farSmaller, large / kRecycledBlockLargestWaste - kMiB);

    // Two blocks in use at once are distinct, even when one was kept.
    void* a = AcquireBlock(large);
    void* b = AcquireBlock(large);
    EXPECT_NE(a, b);
    Use(a, large, 6);
    Use(b, large, 7);
    EXPECT_EQ(static_cast<std::uint8_t*>(a)[large / 2], 6);
    ReleaseBlock(a, large);
    ReleaseBlock(b, large);
}

TEST(RecycledBlocks, WhatIsKeptStaysWithinItsLimitTheOldestGoingFirst)
{
    const std::size_t block = kRecycledBlocksKeptBytes / 4;
    std::vector<void*> blocks;
    for (int i = 0; i < 6; ++i)
        blocks.push_back(AcquireBlock(block + std::size_t(i) * kMiB)); // sizes apart, so none serves another
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ReleaseBlock(blocks[i], block + i * kMiB);
        EXPECT_LE(KeptBlockBytes(), kRecycledBlocksKeptBytes) << "after giving back block " << i;
    }
    EXPECT_GT(KeptBlockBytes(), kRecycledBlocksKeptBytes / 2);
    // The newest are the ones kept: the last block comes back, the first does not.
    void* newest = AcquireBlock(block + 5 * kMiB);
    EXPECT_EQ(newest, blocks[5]);
    ReleaseBlock(newest, block + 5 * kMiB);

    // A block larger than everything that may be kept goes straight back.
    const std::size_t kept = KeptBlockBytes();
    void* huge = AcquireBlock(kRecycledBlocksKeptBytes + kMiB);
    ReleaseBlock(huge, kRecycledBlocksKeptBytes + kMiB);
    EXPECT_EQ(KeptBlockBytes(), kept);
}

} // namespace
