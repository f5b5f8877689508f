// Payload resources of the running executable (payload_resources.rc).
#include "payload/payload_resource.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "payload/payload_ids.h"

namespace brisk {
namespace {

std::string Text(const PayloadBuffer& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(PayloadResource, LoadGivesTheRawBytes) {
  PayloadBuffer out{9, 9, 9};
  ASSERT_TRUE(LoadPayloadResource(kBuildSettingsResource, out));
  ASSERT_EQ(out.size(), 55u);
  EXPECT_EQ(Text(out).substr(0, 4), std::string("QZH\0", 4));
}

TEST(PayloadResource, LoadAndUnpackUnpacksAContainer) {
  PayloadBuffer out;
  ASSERT_TRUE(LoadAndUnpackPayload(kBuildSettingsResource, out));
  EXPECT_EQ(Text(out), "packed payload content\n");
}

TEST(PayloadResource, OneByteResourcePassesThroughUnchanged) {
  PayloadBuffer out;
  ASSERT_TRUE(LoadAndUnpackPayload(kMessageTableResource, out));
  EXPECT_EQ(Text(out), "1");
}

TEST(PayloadResource, RawAndBrokenDataComeBackAsStored) {
  PayloadBuffer raw;
  ASSERT_TRUE(LoadAndUnpackPayload(kSplashPictureResource, raw));
  EXPECT_EQ(Text(raw), "raw bytes that are not a container");

  PayloadBuffer broken;
  PayloadBuffer stored;
  ASSERT_TRUE(LoadPayloadResource(kLicenceTextResource, stored));
  ASSERT_TRUE(LoadAndUnpackPayload(kLicenceTextResource, broken));
  EXPECT_EQ(broken, stored);
  EXPECT_EQ(broken.size(), 55u);
}

TEST(PayloadResource, MissingEmptyOrOtherTypeResourcesFailWithAnEmptyBuffer) {
  for (int id : std::initializer_list<int>{kAuxWorkbookResource, kCarried1107Resource, kMainWorkbookResource, -1}) {
    PayloadBuffer out{1, 2, 3};
    EXPECT_FALSE(LoadPayloadResource(id, out)) << id;
    EXPECT_TRUE(out.empty()) << id;
    PayloadBuffer unpacked{1, 2, 3};
    EXPECT_FALSE(LoadAndUnpackPayload(id, unpacked)) << id;
    EXPECT_TRUE(unpacked.empty()) << id;
  }
}

}  // namespace
}  // namespace brisk
