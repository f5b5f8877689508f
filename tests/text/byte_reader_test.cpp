#include "text/byte_reader.h"

#include <gtest/gtest.h>

#include <array>

namespace brisk {
namespace {

constexpr std::array<std::uint8_t, 6> kBytes = {0x78, 0x56, 0x34, 0x12, 0xAA, 0xBB};

TEST(ByteReader, PeekDoesNotConsumeAndStopsAtTheEnd) {
  ByteReader reader(kBytes);
  EXPECT_EQ(reader.Peek(4).size(), 4u);
  EXPECT_EQ(reader.Peek(100).size(), 6u);
  EXPECT_EQ(reader.Remaining(), 6u);
}

TEST(ByteReader, ReadsLittleEndianFieldsInSequence) {
  ByteReader reader(kBytes);
  EXPECT_EQ(reader.ReadU32(), 0x12345678u);
  auto rest = reader.Read(2);
  ASSERT_TRUE(rest);
  EXPECT_EQ((*rest)[0], 0xAA);
  EXPECT_EQ((*rest)[1], 0xBB);
  EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(ByteReader, ShortReadConsumesNothing) {
  ByteReader reader(kBytes);
  ASSERT_TRUE(reader.Skip(4));
  EXPECT_FALSE(reader.ReadU32());
  EXPECT_FALSE(reader.Read(3));
  EXPECT_FALSE(reader.Skip(3));
  EXPECT_EQ(reader.Remaining(), 2u);
  EXPECT_TRUE(reader.Read(0));
}

TEST(ByteReader, EmptyInput) {
  ByteReader reader(nullptr, 0);
  EXPECT_EQ(reader.Remaining(), 0u);
  EXPECT_TRUE(reader.Peek(12).empty());
  EXPECT_FALSE(reader.ReadU32());
}

}  // namespace
}  // namespace brisk
