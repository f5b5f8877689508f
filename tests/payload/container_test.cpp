#include "payload/container.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>

#include "payload_fixtures.h"

namespace brisk {
namespace {

using test::PutLe;

PayloadBuffer Bytes(std::string_view text) { return PayloadBuffer(text.begin(), text.end()); }

PayloadBuffer Pack(const PayloadBuffer& input) {
  PayloadBuffer container;
  EXPECT_TRUE(PackContainer(input.data(), input.size(), container));
  return container;
}

PayloadBuffer RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  PayloadBuffer bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

struct RoundTripCase {
  const char* name;
  PayloadBuffer input;
};

class PayloadContainerRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(PayloadContainerRoundTrip, UnpackGivesThePackedBytesBack) {
  const PayloadBuffer& input = GetParam().input;
  const PayloadBuffer container = Pack(input);
  PayloadBuffer unpacked{0xEE};
  ASSERT_TRUE(UnpackContainer(container.data(), container.size(), unpacked));
  EXPECT_EQ(unpacked, input);

  PayloadBuffer inPlace = container;
  EXPECT_TRUE(UnpackInPlace(inPlace));
  EXPECT_EQ(inPlace, input);
}

INSTANTIATE_TEST_SUITE_P(Inputs, PayloadContainerRoundTrip,
                         ::testing::Values(RoundTripCase{"OneByte", {0x31}},
                                           RoundTripCase{"Text", Bytes("abc abc abc abc")},
                                           RoundTripCase{"Random100k", RandomBytes(100 * 1024, 7)},
                                           RoundTripCase{"Zeros1M", PayloadBuffer(1 << 20, 0)}),
                         [](const auto& info) { return std::string(info.param.name); });

// The unpacker inflates in slices of 256 KiB. Around and across slice ends,
// with the header's size exact, one short and one over, and with the stream
// cut short, it agrees with zlib's own one-call uncompress into the same room.
TEST(PayloadContainer, SliceEdgesAgreeWithZlibUncompress) {
  for (const std::size_t size : {std::size_t{262143}, std::size_t{262144}, std::size_t{262145}, std::size_t{524288},
                                 std::size_t{3 * 262144 + 7}}) {
    const PayloadBuffer input = RandomBytes(size, static_cast<unsigned>(size));
    const PayloadBuffer packed = Pack(input);
    for (const long declaredChange : {0L, -1L, 1L}) {
      for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{5}}) {
        SCOPED_TRACE(testing::Message() << size << " bytes, declared " << declaredChange << ", cut " << cut);
        PayloadBuffer container(packed.begin(), packed.end() - static_cast<std::ptrdiff_t>(cut));
        const std::uint32_t declared = static_cast<std::uint32_t>(static_cast<long>(size) + declaredChange);
        PutLe(container, 16, declared, 4);
        PayloadBuffer reference(declared);
        uLongf produced = declared;
        const bool referenceOk = uncompress(reference.data(), &produced, container.data() + 24,
                                            static_cast<uLong>(container.size() - 24)) == Z_OK;
        reference.resize(produced);
        PayloadBuffer out{3};
        EXPECT_EQ(UnpackContainer(container.data(), container.size(), out), referenceOk);
        EXPECT_EQ(out, referenceOk ? reference : PayloadBuffer{3});
        EXPECT_EQ(referenceOk, declaredChange >= 0 && cut == 0) << "the reference itself";
      }
    }
  }
}

TEST(PayloadContainer, PackWritesTheHeaderAndADefaultLevelZlibStream) {
  const PayloadBuffer input = Bytes("hello, hello, hello");
  const PayloadBuffer container = Pack(input);
  ASSERT_GT(container.size(), kContainerHeaderSize + 2);
  PayloadBuffer expectedHeader;
  PutLe(expectedHeader, 0, kContainerMagic, 4);
  PutLe(expectedHeader, 4, 24, 4);
  PutLe(expectedHeader, 8, 0x100, 4);
  PutLe(expectedHeader, 12, container.size() - 24, 4);
  PutLe(expectedHeader, 16, input.size(), 4);
  PutLe(expectedHeader, 20, 0, 4);
  EXPECT_EQ(PayloadBuffer(container.begin(), container.begin() + 24), expectedHeader);
  EXPECT_EQ(container[24], 0x78);
  EXPECT_EQ(container[25], 0x9C);
  EXPECT_EQ(container[0], 'Q');
  EXPECT_EQ(container[1], 'Z');
  EXPECT_EQ(container[2], 'H');
  EXPECT_EQ(container[3], 0);
}

TEST(PayloadContainer, PackReplacesTheOutputAndMayReadFromIt) {
  PayloadBuffer buffer = Bytes("pack me in place");
  const PayloadBuffer original = buffer;
  ASSERT_TRUE(PackContainer(buffer.data(), buffer.size(), buffer));
  PayloadBuffer unpacked;
  ASSERT_TRUE(UnpackContainer(buffer.data(), buffer.size(), unpacked));
  EXPECT_EQ(unpacked, original);
}

TEST(PayloadContainer, EmptyInputPacksToAHeaderThatTheUnpackerRejects) {
  PayloadBuffer container;
  ASSERT_TRUE(PackContainer(nullptr, 0, container));
  ASSERT_GE(container.size(), 24u);
  EXPECT_EQ(container[16] | container[17] | container[18] | container[19], 0);
  EXPECT_FALSE(IsContainerHeader(container.data(), container.size()));
  PayloadBuffer out{1, 2, 3};
  EXPECT_FALSE(UnpackContainer(container.data(), container.size(), out));
  EXPECT_EQ(out, (PayloadBuffer{1, 2, 3}));
}

struct HeaderPatch {
  const char* name;
  std::size_t offset;
  std::uint32_t value;
  bool unpacks;
};

class PayloadContainerHeader : public ::testing::TestWithParam<HeaderPatch> {};

// version and reserved are never checked, and packedSize only has to be
// non-zero: the stream runs to the end of the buffer.
TEST_P(PayloadContainerHeader, OnlyMagicHeaderSizeAndNonZeroSizesAreChecked) {
  const PayloadBuffer input = Bytes("the quick brown fox jumps over the lazy dog");
  PayloadBuffer container = Pack(input);
  PutLe(container, GetParam().offset, GetParam().value, 4);
  EXPECT_EQ(IsContainerHeader(container.data(), container.size()), GetParam().unpacks);
  PayloadBuffer out{9};
  EXPECT_EQ(UnpackContainer(container.data(), container.size(), out), GetParam().unpacks);
  EXPECT_EQ(out, GetParam().unpacks ? input : PayloadBuffer{9});
}

INSTANTIATE_TEST_SUITE_P(
    Fields, PayloadContainerHeader,
    ::testing::Values(HeaderPatch{"Version", 8, 0x200, true}, HeaderPatch{"VersionZero", 8, 0, true},
                      HeaderPatch{"Reserved", 20, 0xDEADBEEF, true}, HeaderPatch{"PackedSizeWrong", 12, 3, true},
                      HeaderPatch{"PackedSizeHuge", 12, 0xFFFFFFFF, true}, HeaderPatch{"PackedSizeZero", 12, 0, false},
                      HeaderPatch{"UnpackedSizeZero", 16, 0, false}, HeaderPatch{"Magic", 0, 0x00485A52, false},
                      HeaderPatch{"HeaderSize", 4, 28, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PayloadContainer, FewerThanTwentyFourBytesAreNoContainer) {
  PayloadBuffer container = Pack(Bytes("x"));
  EXPECT_FALSE(IsContainerHeader(container.data(), 23));
  PayloadBuffer out{5};
  EXPECT_FALSE(UnpackContainer(container.data(), 23, out));
  EXPECT_EQ(out, PayloadBuffer{5});
  EXPECT_FALSE(IsContainerHeader(nullptr, 0));
}

TEST(PayloadContainer, HeaderCheckDoesNotLookAtTheStream) {
  PayloadBuffer container = Pack(Bytes("abc"));
  container.resize(24);
  container.push_back(0xFF);
  EXPECT_TRUE(IsContainerHeader(container.data(), container.size()));
  PayloadBuffer out{5};
  EXPECT_FALSE(UnpackContainer(container.data(), container.size(), out));
  EXPECT_EQ(out, PayloadBuffer{5});
}

TEST(PayloadContainer, DeclaredUnpackedSizeIsReadFromAnAcceptedHeaderOnly) {
  PayloadBuffer container = Pack(RandomBytes(1000, 5));
  EXPECT_EQ(DeclaredUnpackedSize(container.data(), container.size()), 1000u);
  PutLe(container, 16, 0xFFFFFFFF, 4);
  EXPECT_EQ(DeclaredUnpackedSize(container.data(), container.size()), 0xFFFFFFFFu);
  EXPECT_EQ(DeclaredUnpackedSize(container.data(), 23), 0u);
  PutLe(container, 0, 0x00485A52, 4);
  EXPECT_EQ(DeclaredUnpackedSize(container.data(), container.size()), 0u);
  EXPECT_EQ(DeclaredUnpackedSize(nullptr, 0), 0u);
}

TEST(PayloadContainer, UnpackedSizeSmallerThanTheContentFailsAndKeepsTheRawBytes) {
  const PayloadBuffer input = RandomBytes(1000, 3);
  PayloadBuffer container = Pack(input);
  PutLe(container, 16, input.size() - 1, 4);
  PayloadBuffer out{7, 7};
  EXPECT_FALSE(UnpackContainer(container.data(), container.size(), out));
  EXPECT_EQ(out, (PayloadBuffer{7, 7}));

  PayloadBuffer inPlace = container;
  EXPECT_TRUE(UnpackInPlace(inPlace));
  EXPECT_EQ(inPlace, container);
}

TEST(PayloadContainer, UnpackedSizeLargerThanTheContentGivesExactlyTheContent) {
  const PayloadBuffer input = Bytes("short");
  PayloadBuffer container = Pack(input);
  PutLe(container, 16, 4096, 4);
  PayloadBuffer out;
  ASSERT_TRUE(UnpackContainer(container.data(), container.size(), out));
  EXPECT_EQ(out, input);
}

// A header may claim up to 4 GiB. The unpacker must neither crash nor throw;
// a stream that really holds the content still unpacks, a broken one does not.
TEST(PayloadContainer, HugeUnpackedSizeNeitherCrashesNorThrows) {
  const PayloadBuffer input = Bytes("tiny content behind a huge claim");
  PayloadBuffer container = Pack(input);
  PutLe(container, 16, 0xFFFFFFFF, 4);
  PayloadBuffer out{1};
  ASSERT_NO_THROW(EXPECT_TRUE(UnpackContainer(container.data(), container.size(), out)));
  EXPECT_EQ(out, input);

  container.back() ^= 0xFF;  // Adler-32 trailer
  PayloadBuffer untouched{1};
  ASSERT_NO_THROW(EXPECT_FALSE(UnpackContainer(container.data(), container.size(), untouched)));
  EXPECT_EQ(untouched, PayloadBuffer{1});
}

TEST(PayloadContainer, CorruptOrTruncatedStreamsFailAndLeaveTheOutputAlone) {
  const PayloadBuffer input = RandomBytes(5000, 11);
  const PayloadBuffer container = Pack(input);

  PayloadBuffer badChecksum = container;
  badChecksum.back() ^= 0x01;
  PayloadBuffer truncated(container.begin(), container.end() - 10);
  PayloadBuffer badZlibHeader = container;
  badZlibHeader[24] = 0x00;

  for (const PayloadBuffer* broken : {&badChecksum, &truncated, &badZlibHeader}) {
    PayloadBuffer out{4, 2};
    EXPECT_FALSE(UnpackContainer(broken->data(), broken->size(), out));
    EXPECT_EQ(out, (PayloadBuffer{4, 2}));
    PayloadBuffer inPlace = *broken;
    EXPECT_TRUE(UnpackInPlace(inPlace));
    EXPECT_EQ(inPlace, *broken);
  }
}

TEST(PayloadContainer, UnpackMayReadFromItsOwnOutput) {
  const PayloadBuffer input = RandomBytes(3000, 5);
  PayloadBuffer buffer = Pack(input);
  ASSERT_TRUE(UnpackContainer(buffer.data(), buffer.size(), buffer));
  EXPECT_EQ(buffer, input);
}

TEST(PayloadContainer, RawDataPassesThroughUnpackInPlace) {
  PayloadBuffer oneByte{'1'};
  EXPECT_TRUE(UnpackInPlace(oneByte));
  EXPECT_EQ(oneByte, PayloadBuffer{'1'});

  PayloadBuffer picture = RandomBytes(300, 1);
  const PayloadBuffer original = picture;
  EXPECT_TRUE(UnpackInPlace(picture));
  EXPECT_EQ(picture, original);
}

TEST(PayloadContainer, UnpackInPlaceOfAnEmptyBufferFails) {
  PayloadBuffer empty;
  EXPECT_FALSE(UnpackInPlace(empty));
  EXPECT_TRUE(empty.empty());
}

// A stream of no bytes behind a header that claims some: zlib succeeds, the
// buffer ends up empty, and UnpackInPlace reports that.
TEST(PayloadContainer, UnpackInPlaceReportsAnEmptyResult) {
  PayloadBuffer container;
  ASSERT_TRUE(PackContainer(nullptr, 0, container));
  PutLe(container, 16, 10, 4);
  ASSERT_TRUE(IsContainerHeader(container.data(), container.size()));
  EXPECT_FALSE(UnpackInPlace(container));
  EXPECT_TRUE(container.empty());
}

}  // namespace
}  // namespace brisk

namespace brisk {
namespace {

// The strict reading that tells a damaged payload from a good one, from a
// span and in place: the same answer for every kind of stored bytes.
TEST(PayloadUnpackRule, ContainersUnpackRawDataPassesAndDamageIsToldApart) {
  const PayloadBuffer text = Bytes("twelve bytes");
  const PayloadBuffer container = Pack(text);
  PayloadBuffer broken = container;
  broken.resize(broken.size() - 4);  // the stream ends early
  struct Case {
    const char* name;
    PayloadBuffer stored;
    std::size_t maxBytes;
    PayloadState state;
  };
  const Case cases[] = {
      {"no bytes", {}, 100, PayloadState::kMissing},
      {"raw", text, 100, PayloadState::kReady},
      {"raw at its limit", text, 12, PayloadState::kReady},
      {"raw beyond its limit", text, 11, PayloadState::kDamaged},
      {"container", container, 100, PayloadState::kReady},
      {"container declaring too much", container, 11, PayloadState::kDamaged},
      {"container that does not unpack", broken, 100, PayloadState::kDamaged},
  };
  for (const Case& c : cases) {
    PayloadBuffer out{0xEE};
    EXPECT_EQ(UnpackPayload(c.stored, out, c.maxBytes), c.state) << c.name;
    EXPECT_EQ(out, c.state == PayloadState::kReady ? text : PayloadBuffer{}) << c.name;
    PayloadBuffer inPlace = c.stored;
    EXPECT_EQ(UnpackPayloadInPlace(inPlace, c.maxBytes), c.state) << c.name;
    EXPECT_EQ(inPlace, c.state == PayloadState::kReady ? text : PayloadBuffer{}) << c.name;
  }
}

TEST(PayloadUnpackRule, RawDataInPlaceIsNotCopied) {
  PayloadBuffer raw = Bytes("not a container");
  const std::uint8_t* before = raw.data();
  EXPECT_EQ(UnpackPayloadInPlace(raw), PayloadState::kReady);
  EXPECT_EQ(raw.data(), before);
}

}  // namespace
}  // namespace brisk
