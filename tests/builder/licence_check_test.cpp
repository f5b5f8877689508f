// The builder refuses a licence text that the launcher would take for a
// damaged build: too large, or RTF nested too deeply.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "build_resources.h"
#include "manifest.h"
#include "payload/container.h"
#include "payload/payload_ids.h"
#include "test_image.h"
#include "text/licence_limits.h"

namespace brisk {
namespace {

class LicenceCheckTest : public testing::Test {
 protected:
  LicenceCheckTest() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("brisk-licence-check-" + std::to_string(::getpid()) + "-" + test->name());
    std::filesystem::create_directories(folder_);
    Write("w.bin", "WORKBOOK");
    Write("a.bin", "AUX");
    const PayloadBuffer dll = test::MakeTestDll(pe::kMachineI386);
    Write("s.dll", std::string(dll.begin(), dll.end()));
  }
  ~LicenceCheckTest() override { std::filesystem::remove_all(folder_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }

  // Builds with `licence` as the licence file.
  BuildResult BuildWithLicence(const std::string& licence) {
    Write("licence.txt", licence);
    const ManifestResult manifest =
        ParseManifest("workbook = w.bin\naux-workbook = a.bin\naddin32 = s.dll\nlicence = licence.txt\n", folder_);
    EXPECT_TRUE(manifest.manifest) << FormatDiagnostic(manifest.error);
    return MakeBuildResources(*manifest.manifest, u"Budget.exe");
  }

  std::filesystem::path folder_;
};

std::string NestedRtf(int depth) {
  return "{\\rtf1\\ansi " + std::string(depth - 1, '{') + "deep" + std::string(depth - 1, '}') + "}";
}

TEST_F(LicenceCheckTest, TextsWithinTheLimitsGoIntoTheBuild) {
  for (const std::string& licence : {std::string(kMaxLicenceBytes, 'a'), NestedRtf(kMaxLicenceRtfGroupDepth)}) {
    const BuildResult build = BuildWithLicence(licence);
    EXPECT_FALSE(build.error);
    bool carried = false;
    for (const BuiltResource& resource : build.resources) {
      if (resource.id != kLicenceTextResource) continue;
      PayloadBuffer unpacked;
      ASSERT_TRUE(UnpackContainer(resource.bytes.data(), resource.bytes.size(), unpacked));
      carried = std::string(unpacked.begin(), unpacked.end()) == licence;
    }
    EXPECT_TRUE(carried) << licence.size() << " bytes";
  }
}

TEST_F(LicenceCheckTest, OversizedOrDeeplyNestedTextsAreRefusedWithTheReason) {
  struct Case {
    std::string licence;
    std::string reason;
  };
  const Case cases[] = {
      {std::string(kMaxLicenceBytes + 1, 'a'),
       "has " + std::to_string(kMaxLicenceBytes + 1) + " bytes; at most " + std::to_string(kMaxLicenceBytes)},
      {NestedRtf(kMaxLicenceRtfGroupDepth + 1), "nests RTF groups " + std::to_string(kMaxLicenceRtfGroupDepth + 1) +
                                                    " deep; at most " + std::to_string(kMaxLicenceRtfGroupDepth)},
  };
  for (const Case& c : cases) {
    const BuildResult build = BuildWithLicence(c.licence);
    EXPECT_TRUE(build.resources.empty()) << "a refused build carries nothing";
    ASSERT_TRUE(build.error);
    const std::string line = FormatDiagnostic(*build.error);
    EXPECT_NE(line.find("licence.txt"), std::string::npos) << line;
    EXPECT_NE(line.find(c.reason), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << "one line";
  }
}

}  // namespace
}  // namespace brisk
