// Fx hash values of every node form, checked against values computed
// independently from the hash's definition.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graph/grid.hpp"
#include "state/fx_hash.hpp"

namespace quorvane {
namespace {

template <class Node>
uint64_t hash_of(const Node& node) {
    return FxHash<Node>{}(node);
}

std::vector<uint8_t> iota_bytes(std::size_t n) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i);
    return v;
}

TEST(FxHash, CellFeedsRowThenColumnAsZeroExtendedPatterns) {
    EXPECT_EQ(hash_of(Cell{-1, 0}), 0xaf2259399c8d07d9ULL);
    EXPECT_EQ(hash_of(Cell{3, 4}), 0xc17f1eef7c053474ULL);
    EXPECT_NE(hash_of(Cell{3, 4}), hash_of(Cell{4, 3}));
}

TEST(FxHash, GraphIndexIsOneWord) {
    EXPECT_EQ(hash_of(uint64_t{0}), 0u);
    EXPECT_EQ(hash_of(uint64_t{12345}), 0x5b4f32f376efd11bULL);
}

TEST(FxHash, ByteVectorsTakeShortAndBlockPathsOfTheFold) {
    EXPECT_EQ(hash_of(iota_bytes(0)), 0xf456d26876d72d91ULL);
    EXPECT_EQ(hash_of(std::vector<uint8_t>{1, 2, 3}), 0x33288a35246941d0ULL);
    EXPECT_EQ(hash_of(std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), 0x6cb3cd4743aa7fdfULL);
    EXPECT_EQ(hash_of(iota_bytes(9)), 0xe14048bed7fdb2efULL);   // 8-puzzle
    EXPECT_EQ(hash_of(iota_bytes(16)), 0xd0a8fe060ef919e5ULL);  // 15-puzzle
    EXPECT_EQ(hash_of(iota_bytes(25)), 0xb2a8636961cbb39bULL);  // 24-puzzle
}

TEST(FxHash, FoldOfThirtyThreeBytesOverlapsItsLastBlock) {
    const auto b = iota_bytes(33);
    EXPECT_EQ(fx_fold_bytes(b.data(), b.size()), 0xc5bec7e75911fa3bULL);
}

TEST(FxHash, WordsAndIntegerVectors) {
    EXPECT_EQ(hash_of(std::string("cold")), 0x078edc2e1484af65ULL);
    EXPECT_EQ(hash_of(std::vector<int64_t>{1, -2, 3}), 0x7adea8e896b6725cULL);
}

}  // namespace
}  // namespace quorvane
