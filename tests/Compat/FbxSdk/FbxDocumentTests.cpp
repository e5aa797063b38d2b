// The document layer: every value type through the binary and ASCII writers and readers, and
// damaged input that must end in an error saying what and where.
#include "fbxio/FbxDocumentWriter.h"
#include "fbxio/FbxReader.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace fbxio;

namespace {

Element SampleTree()
{
    Element root;
    Element& header = root.Add("FBXHeaderExtension");
    header.Add("FBXVersion", { Value::Int(7400) });
    Element& scalars = root.Add("Scalars",
        { Value::Int(-12, 'Y'), Value::Bool(true), Value::Int(-70000, 'I'), Value::Double(1.5, 'F'),
            Value::Double(-2.25e-300), Value::Int(-(std::int64_t(1) << 40), 'L') });
    scalars.Add(
        "Text", { Value::String("Model::Cube"), Value::String("quote \" inside"), Value::Raw("\x00\x01\xff", 3) });
    std::vector<double> doubles;
    std::vector<std::int32_t> ints;
    for (int k = 0; k < 500; ++k) {
        doubles.push_back(k * 0.125 - 3);
        ints.push_back(k % 7 == 0 ? ~k : k);
    }
    Element& arrays = root.Add("Arrays");
    arrays.Add("d", { Value::Doubles(doubles) });
    arrays.Add("f", { Value::Floats({ 1.5f, -2.0f }) });
    arrays.Add("i", { Value::Ints(ints) });
    arrays.Add("l", { Value::Longs({ std::int64_t(1) << 50, -3 }) });
    arrays.Add("b", { Value::Bytes({ 0, 1, 1 }) });
    arrays.Add("empty", { Value::Doubles({}) });
    root.Add("Empty");
    return root;
}

void ExpectSampleTree(const Document& doc, bool binary)
{
    const Element* scalars = doc.root.Find("Scalars");
    ASSERT_NE(scalars, nullptr);
    ASSERT_EQ(scalars->values.size(), 6u);
    EXPECT_EQ(scalars->values[0].AsInt(), -12);
    EXPECT_EQ(scalars->values[1].AsInt(), 1);
    EXPECT_EQ(scalars->values[2].AsInt(), -70000);
    EXPECT_DOUBLE_EQ(scalars->values[3].AsDouble(), 1.5);
    EXPECT_DOUBLE_EQ(scalars->values[4].AsDouble(), -2.25e-300);
    EXPECT_EQ(scalars->values[5].AsInt(), -(std::int64_t(1) << 40));
    if (binary) {
        EXPECT_EQ(scalars->values[0].type, 'Y');
    }
    const Element* text = scalars->Find("Text");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->values[0].AsString(), "Model::Cube");
    EXPECT_EQ(text->values[1].AsString(), "quote \" inside");
    const Element* arrays = doc.root.Find("Arrays");
    ASSERT_NE(arrays, nullptr);
    std::string error;
    std::vector<double> d;
    ASSERT_TRUE(DecodeArray(arrays->Find("d")->values[0], d, error)) << error;
    ASSERT_EQ(d.size(), 500u);
    EXPECT_DOUBLE_EQ(d[499], 499 * 0.125 - 3);
    std::vector<std::int32_t> i;
    ASSERT_TRUE(DecodeArray(arrays->Find("i")->values[0], i, error)) << error;
    ASSERT_EQ(i.size(), 500u);
    EXPECT_EQ(i[7], ~7);
    EXPECT_EQ(i[8], 8);
    std::vector<double> f;
    ASSERT_TRUE(DecodeArray(arrays->Find("f")->values[0], f, error));
    EXPECT_EQ(f, (std::vector<double> { 1.5, -2.0 }));
    std::vector<std::int64_t> l;
    ASSERT_TRUE(DecodeArray(arrays->Find("l")->values[0], l, error));
    EXPECT_EQ(l, (std::vector<std::int64_t> { std::int64_t(1) << 50, -3 }));
    std::vector<std::uint8_t> b;
    ASSERT_TRUE(DecodeArray(arrays->Find("b")->values[0], b, error));
    EXPECT_EQ(b, (std::vector<std::uint8_t> { 0, 1, 1 }));
    std::vector<double> empty;
    ASSERT_TRUE(DecodeArray(arrays->Find("empty")->values[0], empty, error));
    EXPECT_TRUE(empty.empty());
    EXPECT_NE(doc.root.Find("Empty"), nullptr);
}

std::vector<std::uint8_t> Binary(const Element& root, int version, bool compress = true)
{
    BinaryWriteOptions options;
    options.version = version;
    options.compressAbove = compress ? 16 : 0;
    return WriteBinary(root, options);
}

// Overwrites the 32-bit field at `at`.
void Poke32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v)
{
    std::memcpy(bytes.data() + at, &v, 4);
}

std::size_t FindText(const std::vector<std::uint8_t>& bytes, const std::string& text)
{
    auto it = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
    return it == bytes.end() ? std::string::npos : std::size_t(it - bytes.begin());
}

} // namespace

TEST(FbxDocument, BinaryRoundTripKeepsEveryValueTypeWith32And64BitRecords)
{
    for (int version : { 7100, 7400, 7500, 7700 }) {
        for (bool compress : { false, true }) {
            std::vector<std::uint8_t> bytes = Binary(SampleTree(), version, compress);
            Document doc;
            std::string error;
            ASSERT_TRUE(ReadBinary(bytes.data(), bytes.size(), doc, error)) << version << ": " << error;
            EXPECT_EQ(doc.version, version);
            EXPECT_TRUE(doc.binary);
            ExpectSampleTree(doc, true);
        }
    }
}

TEST(FbxDocument, AsciiRoundTripKeepsTheSameTree)
{
    std::string text = WriteAscii(SampleTree(), 7400);
    Document doc;
    std::string error;
    ASSERT_TRUE(ReadAscii(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), doc, error)) << error;
    EXPECT_FALSE(doc.binary);
    EXPECT_EQ(doc.version, 7400);
    ExpectSampleTree(doc, false);
}

TEST(FbxDocument, AsciiBase64ChunksArePaddedOneByOneAndLinesMayBeHuge)
{
    // "Hi" and "!!" are each padded on their own; a plain concatenation would mis-decode.
    std::string longLine = "a: ";
    for (int k = 0; k < 200000; ++k)
        longLine += (k ? ",0.12345678901234567890123" : "0.5");
    std::string text
        = "; FBX 7.5.0 project file\nFBXHeaderExtension:  {\n\tFBXVersion: 7500\n}\n"
          "Video: 1, \"Video::v\", \"Clip\" {\n\tContent: ,\n \"SGk=\",\n \"ISE=\"\n}\n"
          "Numbers: 123456789012345678901234567890, -0.000000000000000000000000000001e-5, 1.7976931348623157e308\n"
          "Big: *200000 {\n"
        + longLine + "\n}\n";
    Document doc;
    std::string error;
    ASSERT_TRUE(ReadAscii(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), doc, error)) << error;
    const Element* content = doc.root.Find("Video")->Find("Content");
    ASSERT_NE(content, nullptr);
    ASSERT_EQ(content->values.size(), 1u);
    EXPECT_EQ(content->values[0].AsString(), "Hi!!");
    const Element* numbers = doc.root.Find("Numbers");
    EXPECT_NEAR(numbers->values[0].AsDouble(), 1.2345678901234568e29, 1e15);
    EXPECT_DOUBLE_EQ(numbers->values[2].AsDouble(), 1.7976931348623157e308);
    std::vector<double> big;
    ASSERT_TRUE(DecodeArray(doc.root.Find("Big")->values[0], big, error));
    ASSERT_EQ(big.size(), 200000u);
    EXPECT_DOUBLE_EQ(big[1], 0.12345678901234567890123);
}

TEST(FbxDocument, Fbx6FilesFailWithAClearMessage)
{
    std::string text = "; FBX 6.1.0 project file\nFBXHeaderExtension:  {\n\tFBXVersion: 6100\n}\nObjects: {\n}\n";
    Document doc;
    std::string error;
    EXPECT_FALSE(ReadAscii(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), doc, error));
    EXPECT_NE(error.find("FBX 6.1 files (version 6100) are not supported"), std::string::npos) << error;

    std::vector<std::uint8_t> bytes = Binary(SampleTree(), 7400);
    Poke32(bytes, 23, 6100);
    EXPECT_FALSE(ReadBinary(bytes.data(), bytes.size(), doc, error));
    EXPECT_NE(error.find("not supported"), std::string::npos) << error;
}

TEST(FbxDocument, HostileBinaryRecordsFailWithWhatAndWhere)
{
    std::string error;
    Document doc;
    auto fails = [&](std::vector<std::uint8_t> bytes, const char* expected) {
        error.clear();
        EXPECT_FALSE(ReadBinary(bytes.data(), bytes.size(), doc, error));
        EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error;
        EXPECT_NE(error.find("offset 0x"), std::string::npos) << "got: " << error;
    };

    Element root;
    root.Add("A", { Value::Doubles(std::vector<double>(64, 1.0)) });
    const std::vector<std::uint8_t> good = Binary(root, 7400, false);
    std::size_t name = FindText(good, "A");
    std::size_t array = name + 2; // type byte 'd' then count, encoding, stored length

    auto huge = good;
    Poke32(huge, array, 0x40000000u);
    fails(huge, "declares 1073741824 elements");

    auto compressedLie = Binary(root, 7400, true);
    std::size_t at = FindText(compressedLie, "A") + 2;
    Poke32(compressedLie, at, 65); // declares one element more than the stream inflates to
    Document lazy;
    ASSERT_TRUE(ReadBinary(compressedLie.data(), compressedLie.size(), lazy, error)) << error;
    std::vector<double> values;
    EXPECT_FALSE(DecodeArray(lazy.root.Find("A")->values[0], values, error));
    EXPECT_NE(error.find("inflates to 512 bytes, declared 520"), std::string::npos) << error;
    Poke32(compressedLie, at, 63);
    ASSERT_TRUE(ReadBinary(compressedLie.data(), compressedLie.size(), lazy, error));
    EXPECT_FALSE(DecodeArray(lazy.root.Find("A")->values[0], values, error));
    EXPECT_NE(error.find("inflates to more than"), std::string::npos) << error;

    auto badEnd = good;
    Poke32(badEnd, 27, 0xfffffff0u);
    fails(badEnd, "outside its parent");

    auto badLength = good;
    Poke32(badLength, array + 8, 9999);
    fails(badLength, "stored bytes");

    auto unknownType = good;
    unknownType[array - 1] = 'Q';
    fails(unknownType, "unknown value type");

    auto badHeader = good;
    badHeader[21] = ' ';
    fails(badHeader, "header is damaged");
}

TEST(FbxDocument, NestingDeeperThanTheLimitIsRejectedNotRecursedInto)
{
    Element root;
    Element* at = &root;
    for (int depth = 0; depth < kMaxElementDepth + 5; ++depth)
        at = &at->Add("N", { Value::Int(depth) });
    std::vector<std::uint8_t> bytes = Binary(root, 7500);
    Document doc;
    std::string error;
    EXPECT_FALSE(ReadBinary(bytes.data(), bytes.size(), doc, error));
    EXPECT_NE(error.find("deeper than 32"), std::string::npos) << error;

    std::string text = "FBXHeaderExtension: {\nFBXVersion: 7400\n}\n";
    for (int depth = 0; depth < 1000; ++depth)
        text += "N: {\n";
    EXPECT_FALSE(ReadAscii(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), doc, error));
    EXPECT_NE(error.find("deeper than 32"), std::string::npos) << error;
}

TEST(FbxDocument, MemoryBudgetGrowsWithTheFileAndStopsSmallFilesClaimingGigabytes)
{
    MemoryBudget small = MemoryBudget::ForFileSize(100);
    EXPECT_EQ(small.Remaining(), kMemoryAllowanceBytes + 100 * kMemoryPerFileByte);
    EXPECT_TRUE(small.Take(1000));
    EXPECT_FALSE(small.Take(std::size_t(1) << 40));
    EXPECT_EQ(MemoryBudget::ForFileSize(SIZE_MAX).Remaining(), SIZE_MAX);

    // Many arrays each within the format's limits, together beyond the budget.
    Element root;
    for (int k = 0; k < 8; ++k)
        root.Add("A", { Value::Doubles({ 1.0 }) });
    std::vector<std::uint8_t> bytes = Binary(root, 7400, false);
    std::size_t at = 0;
    for (int k = 0; k < 8; ++k) {
        at = FindText(std::vector<std::uint8_t>(bytes.begin() + std::ptrdiff_t(at) + 1, bytes.end()), "A") + at + 1;
        Poke32(bytes, at + 2, 0x0fffffffu); // 2 GiB declared per array, stored as 8 raw bytes
    }
    Document doc;
    std::string error;
    EXPECT_FALSE(ReadBinary(bytes.data(), bytes.size(), doc, error));
    EXPECT_NE(error.find("elements"), std::string::npos) << error;
}

TEST(FbxDocument, TruncatedAndBytePatchedFilesNeverCrashAndFailWhenBroken)
{
    for (int version : { 7400, 7500 }) {
        const std::vector<std::uint8_t> good = Binary(SampleTree(), version);
        const std::size_t footer = 16 + 4 + 16 + 4 + 120 + 16; // the footer is not needed
        for (std::size_t length = 0; length + footer < good.size(); length += 3) {
            Document doc;
            std::string error;
            EXPECT_FALSE(ReadBinary(good.data(), length, doc, error)) << "length " << length;
            EXPECT_FALSE(error.empty());
        }
        for (std::size_t at = 0; at < good.size(); ++at) {
            auto bytes = good;
            bytes[at] ^= 0xA5;
            Document doc;
            std::string error;
            if (ReadBinary(bytes.data(), bytes.size(), doc, error)) {
                for (const Element& e : doc.root.children)
                    for (const Element& child : e.children)
                        for (const Value& v : child.values)
                            if (v.IsArray()) {
                                std::vector<double> out;
                                DecodeArray(v, out, error); // may fail, must not crash
                            }
            } else {
                EXPECT_FALSE(error.empty());
            }
        }
    }
    const std::string text = WriteAscii(SampleTree(), 7400);
    for (std::size_t length = 0; length < text.size(); length += 7) {
        Document doc;
        std::string error;
        ReadAscii(reinterpret_cast<const std::uint8_t*>(text.data()), length, doc, error);
    }
}

TEST(FbxDocument, MalformedAsciiFailsWithTheLineItIsOn)
{
    const std::pair<const char*, const char*> cases[] = {
        { "FBXHeaderExtension: {\nFBXVersion: 7400\n}\nName: \"open", "string is not closed (line 4" },
        { "FBXHeaderExtension: {\nFBXVersion: 7400\n}\nA: 1.2.3e", "malformed number (line 4" },
        { "FBXHeaderExtension: {\nFBXVersion: 7400\n}\nA: *3 {\na: 1,2\n}", "declares 3 elements, holds 2" },
        { "FBXHeaderExtension: {\nFBXVersion: 7400\n}\nContent: , \"ab$=\"", "invalid base64 character" },
        { "FBXHeaderExtension: {\nFBXVersion: 7400\n}\nA: {\nB: 1\n", "'}' expected to close 'A'" },
        { "Objects: {\n}\n", "not an FBX file" },
        { "FBXHeaderExtension: {\nFBXVersion: 9100\n}\n", "unsupported ASCII FBX version 9100" },
    };
    for (auto [text, expected] : cases) {
        Document doc;
        std::string error;
        EXPECT_FALSE(ReadAscii(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text), doc, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error;
    }
}

TEST(FbxDocument, VectorArraysSpreadIntoWiderSlotsWithTheFillAfterEachVector)
{
    // Enough vectors that the spread crosses many of its own source elements, in every element type
    // a file may store them as, compressed and not.
    constexpr int kVectors = 300;
    std::vector<double> doubles;
    std::vector<float> floats;
    std::vector<std::int32_t> ints;
    for (int k = 0; k < kVectors * 3; ++k) {
        doubles.push_back(k * 0.5 - 7);
        floats.push_back(static_cast<float>(k) * 0.25f);
        ints.push_back(k - 100);
    }
    Element root;
    root.Add("d", { Value::Doubles(doubles) });
    root.Add("f", { Value::Floats(floats) });
    root.Add("i", { Value::Ints(ints) });
    for (bool compress : { true, false }) {
        std::vector<std::uint8_t> bytes = Binary(root, 7400, compress);
        Document doc;
        std::string error;
        ASSERT_TRUE(ReadBinary(bytes.data(), bytes.size(), doc, error)) << error;
        for (const char* name : { "d", "f", "i" }) {
            std::vector<double> expected;
            ASSERT_TRUE(DecodeArray(doc.root.Find(name)->values[0], expected, error)) << error;
            constexpr double kFill = 1.25;
            std::vector<double> out(std::size_t(kVectors) * 4, -99.0);
            ASSERT_TRUE(DecodeVectorArray(doc.root.Find(name)->values[0], 3, 4, kFill, out.data(), kVectors, error))
                << name << ": " << error;
            for (int v = 0; v < kVectors; ++v) {
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(out[std::size_t(v) * 4 + c], expected[std::size_t(v) * 3 + c])
                        << name << " vector " << v << " component " << c << (compress ? " compressed" : "");
                ASSERT_EQ(out[std::size_t(v) * 4 + 3], kFill) << name << " vector " << v;
            }
        }
        // Pairs into four slots, spread by the general path rather than the one for triples.
        const std::size_t spreadPairs = std::size_t(kVectors) * 3 / 2;
        std::vector<double> wide(spreadPairs * 4, -99.0);
        ASSERT_TRUE(DecodeVectorArray(doc.root.Find("d")->values[0], 2, 4, 0.5, wide.data(), spreadPairs, error));
        for (std::size_t p = 0; p < spreadPairs; ++p) {
            ASSERT_EQ(wide[p * 4], doubles[p * 2]) << "pair " << p;
            ASSERT_EQ(wide[p * 4 + 1], doubles[p * 2 + 1]) << "pair " << p;
            ASSERT_EQ(wide[p * 4 + 2], 0.5) << "pair " << p;
            ASSERT_EQ(wide[p * 4 + 3], 0.5) << "pair " << p;
        }
        // Pairs into pairs: nothing to fill, nothing written past the vectors.
        std::vector<double> pairs(std::size_t(kVectors) * 3 / 2 * 2 + 1, -99.0);
        const std::size_t pairCount = std::size_t(kVectors) * 3 / 2;
        ASSERT_TRUE(DecodeVectorArray(doc.root.Find("d")->values[0], 2, 2, 5.0, pairs.data(), pairCount, error));
        EXPECT_EQ(pairs[pairCount * 2 - 1], doubles[pairCount * 2 - 1]);
        EXPECT_EQ(pairs[pairCount * 2], -99.0);
        // A count that does not make the vectors asked for is refused.
        std::vector<double> tooFew(std::size_t(kVectors - 1) * 4);
        EXPECT_FALSE(DecodeVectorArray(doc.root.Find("d")->values[0], 3, 4, 0.0, tooFew.data(), kVectors - 1, error));
    }
}
