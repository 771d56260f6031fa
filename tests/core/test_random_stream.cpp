// The seeded stream against reference outputs (tests/golden/stream.json),
// word for word: keys, raw words, floats, the refill boundary of next_u64,
// both range draws with the words they consume, choose, and raw blocks
// (counter carry into the high word and wrap at 2^64).
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "generators/random_stream.hpp"

namespace {

using quorvane::ChaCha8Rng;

// Just enough JSON for the reference file: objects, arrays, strings (it
// holds no escapes) and numbers, which keep their text so that 64-bit
// integers survive exactly.
struct Json {
    enum class Kind { number, string, array, object } kind = Kind::number;
    std::string text;  // number or string
    std::vector<Json> items;
    std::map<std::string, Json> fields;

    const Json& operator[](const std::string& key) const {
        const auto it = fields.find(key);
        if (it == fields.end()) throw std::runtime_error("missing key " + key);
        return it->second;
    }
    const Json& operator[](std::size_t i) const { return items.at(i); }
    std::size_t size() const { return items.size(); }
    uint64_t u64() const { return std::strtoull(text.c_str(), nullptr, 10); }
    double f64() const { return std::strtod(text.c_str(), nullptr); }
};

class JsonParser {
public:
    explicit JsonParser(std::string s) : s_(std::move(s)) {}

    Json parse() {
        skip();
        Json v;
        const char c = s_.at(i_);
        if (c == '{') {
            v.kind = Json::Kind::object;
            ++i_;
            skip();
            if (s_[i_] == '}') return ++i_, v;
            for (;;) {
                skip();
                std::string key = parse().text;
                skip();
                expect(':');
                v.fields.emplace(std::move(key), parse());
                skip();
                if (s_[i_++] == '}') return v;
            }
        }
        if (c == '[') {
            v.kind = Json::Kind::array;
            ++i_;
            skip();
            if (s_[i_] == ']') return ++i_, v;
            for (;;) {
                v.items.push_back(parse());
                skip();
                if (s_[i_++] == ']') return v;
            }
        }
        if (c == '"') {
            v.kind = Json::Kind::string;
            const std::size_t end = s_.find('"', i_ + 1);
            v.text = s_.substr(i_ + 1, end - i_ - 1);
            i_ = end + 1;
            return v;
        }
        const std::size_t start = i_;
        while (i_ < s_.size() &&
               std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos)
            ++i_;
        if (i_ == start) throw std::runtime_error("malformed JSON");  // no other kind is read
        v.text = s_.substr(start, i_ - start);
        return v;
    }

private:
    void skip() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    void expect(char c) {
        if (s_.at(i_++) != c) throw std::runtime_error("malformed JSON");
    }

    std::string s_;
    std::size_t i_ = 0;
};

const Json& golden_stream() {
    static const Json doc = [] {
        std::ifstream in(std::string(QUORVANE_GOLDEN_DIR) + "/stream.json");
        if (!in) throw std::runtime_error("cannot open the reference stream file");
        std::stringstream buffer;
        buffer << in.rdbuf();
        return JsonParser(buffer.str()).parse();
    }();
    return doc;
}

class StreamGolden : public ::testing::TestWithParam<std::size_t> {
protected:
    const Json& cas() const { return golden_stream()["cases"][GetParam()]; }
    ChaCha8Rng fresh() const { return ChaCha8Rng::seed_from_u64(cas()["seed"].u64()); }
};

TEST_P(StreamGolden, KeyIsThePcg32Expansion) {
    const auto rng = fresh();
    const Json& want = cas()["key_words"];
    ASSERT_EQ(want.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(rng.key()[i], want[i].u64()) << i;
}

TEST_P(StreamGolden, RawWordsAcrossRefills) {
    auto rng = fresh();
    const Json& want = cas()["next_u32"];
    for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(rng.next_u32(), want[i].u64()) << i;
    EXPECT_EQ(rng.words_consumed(), want.size());
}

TEST_P(StreamGolden, FloatsAreTop53BitsTimesTwoToMinus53) {
    auto rng = fresh();
    const Json& values = cas()["gen_f64"];
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double x = rng.gen_f64();
        const uint64_t bits = std::bit_cast<uint64_t>(x);
        EXPECT_EQ(bits, std::strtoull(cas()["gen_f64_bits"][i].text.c_str(), nullptr, 16)) << i;
        EXPECT_EQ(bits, std::bit_cast<uint64_t>(values[i].f64())) << i;
        EXPECT_EQ(x * 9007199254740992.0, static_cast<double>(cas()["gen_f64_k"][i].u64())) << i;
    }
    EXPECT_EQ(rng.words_consumed(), 2 * values.size());
}

TEST_P(StreamGolden, NextU64SpansTheRefillBoundary) {
    auto rng = fresh();
    const Json& mixed = cas()["mixed"];
    for (std::size_t i = 0; i < mixed["next_u32_x63"].size(); ++i)
        ASSERT_EQ(rng.next_u32(), mixed["next_u32_x63"][i].u64());
    for (std::size_t i = 0; i < mixed["then_next_u64_x6"].size(); ++i)
        ASSERT_EQ(rng.next_u64(), mixed["then_next_u64_x6"][i].u64()) << i;
    EXPECT_EQ(rng.words_consumed(), mixed["words_consumed"].u64());
}

TEST_P(StreamGolden, RangeDrawsAndTheWordsTheyReject) {
    for (const Json& r : cas()["gen_range_u64"].items) {
        auto rng = fresh();
        const uint64_t n = r["n"].u64();
        for (const Json& d : r["draws"].items) ASSERT_EQ(rng.gen_range(n), d.u64()) << "n=" << n;
        EXPECT_EQ(rng.words_consumed(), r["words_consumed"].u64()) << "n=" << n;
    }
    for (const Json& r : cas()["gen_range_u32"].items) {
        auto rng = fresh();
        const auto n = static_cast<uint32_t>(r["n"].u64());
        for (const Json& d : r["draws"].items)
            ASSERT_EQ(rng.gen_range_u32(n), d.u64()) << "n=" << n;
        EXPECT_EQ(rng.words_consumed(), r["words_consumed"].u64()) << "n=" << n;
    }
}

TEST_P(StreamGolden, ChooseUsesThe32BitRangeAndSkipsEmptyLists) {
    for (const Json& c : cas()["choose"].items) {
        auto rng = fresh();
        std::vector<uint64_t> list(c["len"].u64());
        std::iota(list.begin(), list.end(), uint64_t{0});
        for (const Json& pick : c["picks"].items) {
            const auto got = rng.choose(std::span<const uint64_t>(list));
            if (pick.kind == Json::Kind::string) {
                EXPECT_EQ(pick.text, "none");
                EXPECT_FALSE(got.has_value());
            } else {
                ASSERT_TRUE(got.has_value());
                EXPECT_EQ(*got, pick.u64());
            }
        }
        EXPECT_EQ(rng.words_consumed(), c["words_consumed"].u64()) << "len=" << list.size();
    }
}

TEST_P(StreamGolden, BlocksCarryIntoTheHighCounterWordAndWrap) {
    const auto rng = fresh();
    for (const Json& b : cas()["blocks"].items) {
        const uint64_t block = b["block"].u64();
        uint32_t words[2][16];
        quorvane::chacha8_block(rng.key(), block, words[0]);
        quorvane::chacha8_block(rng.key(), block + 1, words[1]);  // wraps at 2^64
        uint32_t four[64];
        quorvane::chacha8_blocks4(rng.key(), block, four);
        for (std::size_t i = 0; i < 32; ++i) {
            EXPECT_EQ(words[i / 16][i % 16], b["words"][i].u64())
                << "block " << block << " word " << i;
            EXPECT_EQ(four[i], b["words"][i].u64()) << "lanes, block " << block << " word " << i;
        }
    }
}

// The reference file holds seeds 0, 1 and 42.
INSTANTIATE_TEST_SUITE_P(Seeds, StreamGolden, ::testing::Range<std::size_t>(0, 3));

TEST(ChaCha8Rng, RangeOfOneStillDrawsAndRejectsTheUpperHalf) {
    // gen_range(1) is always 0 but consumes a 64-bit draw per attempt, and an
    // attempt fails exactly when the draw is >= 2^63.
    auto probe = ChaCha8Rng::seed_from_u64(5);
    auto rng = ChaCha8Rng::seed_from_u64(5);
    for (int i = 0; i < 200; ++i) {
        while (probe.next_u64() >= (uint64_t{1} << 63)) {
        }
        EXPECT_EQ(rng.gen_range(1), 0u);
        EXPECT_EQ(rng.words_consumed(), probe.words_consumed());
    }
}

TEST(ChaCha8Rng, EmptyRangePanicsInsteadOfShiftingByTheWordWidth) {
    auto rng = ChaCha8Rng::seed_from_u64(0);
    EXPECT_THROW(rng.gen_range(0), quorvane::Panic);
    EXPECT_THROW(rng.gen_range_u32(0), quorvane::Panic);
    EXPECT_EQ(rng.words_consumed(), 0u);
}

}  // namespace
