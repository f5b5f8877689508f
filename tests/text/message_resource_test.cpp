// Loading the message table resource.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "resource_builder.h"
#include "text/message_table.h"

namespace brisk {
namespace {

using test::ResourceBuilder;
using Texts = MessageTable::TextMap;

Texts Load(const ResourceBuilder& resource) {
  MessageTable table;
  ByteReader reader(resource.Data());
  table.LoadFromResource(reader);
  return table.Texts();
}

TEST(MessageResource, OneByteResourceLoadsNothing) { EXPECT_TRUE(Load(ResourceBuilder().Bytes("1")).empty()); }

TEST(MessageResource, ElevenBytesAreNoHeader) {
  ResourceBuilder resource;
  resource.U32(12).U32(1).Bytes("abc");
  EXPECT_TRUE(Load(resource).empty());
}

TEST(MessageResource, ReadsEntriesAfterTheHeader) {
  ResourceBuilder resource;
  resource.Header(3).Entry(kEulaTitle, "Licence").Entry(kWarningTitle, "Careful").Entry(0xFFFFFFFF, "minus one");
  EXPECT_EQ(Load(resource), (Texts{{-1, "minus one"}, {7, "Careful"}, {11, "Licence"}}));
}

TEST(MessageResource, EmptyTextsAreNotStored) {
  ResourceBuilder resource;
  resource.Header(3).Entry(kEulaTitle, "").Entry(kWarningTitle, std::string("\0tail", 5)).Entry(3, "OK");
  EXPECT_EQ(Load(resource), (Texts{{3, "OK"}}));
}

TEST(MessageResource, ZeroByteEndsTheText) {
  ResourceBuilder resource;
  resource.Header(2).Entry(4, std::string("Can\0cel", 7)).Entry(5, "Close");
  EXPECT_EQ(Load(resource), (Texts{{4, "Can"}, {5, "Close"}}));
}

TEST(MessageResource, LaterEntryWins) {
  ResourceBuilder resource;
  resource.Header(3).Entry(11, "first").Entry(12, "other").Entry(11, "second");
  EXPECT_EQ(Load(resource), (Texts{{11, "second"}, {12, "other"}}));
}

TEST(MessageResource, EmptyLaterEntryKeepsTheEarlierText) {
  ResourceBuilder resource;
  resource.Header(2).Entry(11, "first").Entry(11, "");
  EXPECT_EQ(Load(resource), (Texts{{11, "first"}}));
}

TEST(MessageResource, CountBeyondTheEntriesKeepsWhatWasRead) {
  ResourceBuilder resource;
  resource.Header(0xFFFFFFFF).Entry(3, "OK").Entry(4, "Cancel");
  EXPECT_EQ(Load(resource), (Texts{{3, "OK"}, {4, "Cancel"}}));
}

TEST(MessageResource, CountBelowTheEntriesIgnoresTheRest) {
  ResourceBuilder resource;
  resource.Header(1).Entry(3, "OK").Entry(4, "Cancel");
  EXPECT_EQ(Load(resource), (Texts{{3, "OK"}}));
}

// Each way an entry can be cut short: the complete entries before it stay.
TEST(MessageResource, CutOffEntryKeepsTheEntriesBefore) {
  const std::vector<ResourceBuilder> cases = {
      ResourceBuilder().Header(2).Entry(3, "OK").Bytes("\x04\x00"),
      ResourceBuilder().Header(2).Entry(3, "OK").U32(4),
      ResourceBuilder().Header(2).Entry(3, "OK").U32(4).U32(6).Bytes("Canc"),
  };
  for (const auto& resource : cases) EXPECT_EQ(Load(resource), (Texts{{3, "OK"}}));
}

// The bytes behind an over-long length are not read as further entries, even
// when they look like one.
TEST(MessageResource, NothingIsReadBehindACutOffText) {
  ResourceBuilder resource;
  resource.Header(3).Entry(3, "OK").U32(4).U32(100).Entry(5, "Close");
  EXPECT_EQ(Load(resource), (Texts{{3, "OK"}}));
}

TEST(MessageResource, LargerHeaderIsSkipped) {
  ResourceBuilder resource;
  resource.Header(1, 20).U32(0xDDDDDDDD).U32(0xEEEEEEEE).Entry(3, "OK");
  EXPECT_EQ(Load(resource), (Texts{{3, "OK"}}));
}

TEST(MessageResource, HeaderSizeBeyondTheDataLoadsNothing) {
  ResourceBuilder resource;
  resource.Header(1, 1000).Entry(3, "OK");
  EXPECT_TRUE(Load(resource).empty());
}

// The header size says where the entries start, also when it is smaller than
// the header: here the reserved field is read as the first slot number.
TEST(MessageResource, SmallerHeaderSizeStartsTheEntriesEarlier) {
  ResourceBuilder resource;
  resource.U32(8).U32(1).U32(9).U32(2).Bytes("hi");
  EXPECT_EQ(Load(resource), (Texts{{9, "hi"}}));
}

TEST(MessageResource, LongTextsAreCutAndTheNextEntryIsStillRead) {
  const std::string longest(kMaxResourceTextLength, 'x');
  ResourceBuilder resource;
  resource.Header(3).Entry(11, longest).Entry(12, longest + "yz").Entry(13, "after");
  Texts texts = Load(resource);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[11], longest);
  EXPECT_EQ(texts[12], longest);
  EXPECT_EQ(texts[13], "after");
}

TEST(MessageResource, LoadingAddsToTheTable) {
  MessageTable table;
  ResourceBuilder first;
  first.Header(2).Entry(3, "OK").Entry(4, "Cancel");
  ResourceBuilder second;
  second.Header(1).Entry(4, "Abort");
  ByteReader firstReader(first.Data());
  table.LoadFromResource(firstReader);
  ByteReader secondReader(second.Data());
  table.LoadFromResource(secondReader);
  EXPECT_EQ(table.Texts(), (Texts{{3, "OK"}, {4, "Abort"}}));
}

}  // namespace
}  // namespace brisk
