// The portable resource writer: every written image is read back with the
// project's own reader and with objdump -p (binutils), an independent one.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "payload/byte_order.h"
#include "pe_image.h"
#include "resource_section.h"
#include "test_image.h"

namespace brisk {
namespace {

using test::LauncherResources;
using test::MakeTestImage;
using test::TestImageOptions;
using test::TestResource;

struct OwnedResource {
  pe::ResourceName type;
  pe::ResourceName name;
  std::uint16_t language = 0x409;
  PayloadBuffer bytes;
};

std::vector<pe::ResourceItem> Items(const std::vector<OwnedResource>& resources) {
  std::vector<pe::ResourceItem> items;
  for (const OwnedResource& r : resources) items.push_back({r.type, r.name, r.language, r.bytes});
  return items;
}

PayloadBuffer Filled(std::size_t size, std::uint8_t seed) {
  PayloadBuffer bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

PayloadBuffer LauncherWithRelocations() {
  TestImageOptions options;
  options.relocations = true;
  return MakeTestImage(LauncherResources(), options);
}

std::uint32_t U32(const PayloadBuffer& file, std::size_t at) { return le::ReadU32(file.data() + at); }

// "type/name/language size" of each resource, for comparing the readers.
std::string Key(const pe::ResourceName& type, const pe::ResourceName& name, std::uint16_t language, std::size_t size) {
  const auto text = [](const pe::ResourceName& n) {
    if (n.text.empty()) return std::to_string(n.id);
    return "'" + std::string(n.text.begin(), n.text.end()) + "'";
  };
  return text(type) + "/" + text(name) + "/" + std::to_string(language) + " " + std::to_string(size);
}

// The file's resources as objdump -p lists its resource directory (wrestool
// -l shows a named type's name in place of the names under it).
std::multiset<std::string> ListedByObjdump(const std::filesystem::path& file) {
  std::multiset<std::string> listed;
  const std::string command = "objdump -p '" + file.string() + "'";
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return listed;
  // The entry last seen at each level: type, name, language. objdump
  // indents an entry by two more spaces for each level.
  std::string levels[3];
  bool inResources = false;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe.get())) {
    const std::string text(line);
    if (text.find("Resource Directory section") != std::string::npos) inResources = true;
    const std::size_t entry = text.find("Entry: ");
    if (!inResources) continue;
    if (entry != std::string::npos) {
      const std::size_t indent = entry - text.find(' ');
      const std::size_t level = (indent - 3) / 2;
      if (level > 2) continue;
      if (text.compare(entry, 13, "Entry: name: ") == 0) {
        const std::size_t from = text.find("]: ", entry) + 3;
        levels[level] = "'" + text.substr(from, text.find(", Value:", from) - from) + "'";
      } else {
        levels[level] = std::to_string(std::stoul(text.substr(entry + 11), nullptr, 16));
      }
    } else if (text.find("Leaf:") != std::string::npos) {
      const std::size_t size = text.find("Size: ");
      listed.insert(levels[0] + "/" + levels[1] + "/" + levels[2] + " " +
                    std::to_string(std::stoul(text.substr(size + 6), nullptr, 16)));
    }
  }
  return listed;
}

class ResourceSectionTest : public testing::Test {
 protected:
  ResourceSectionTest() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("brisk-resources-" + std::to_string(::getpid()) + "-" + test->name());
    std::filesystem::create_directories(folder_);
  }
  ~ResourceSectionTest() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path Save(const PayloadBuffer& file, const std::string& name) {
    const std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    return path;
  }

  std::filesystem::path folder_;
};

struct RoundTripCase {
  const char* what;
  std::vector<OwnedResource> resources;
};

std::vector<RoundTripCase> RoundTripCases() {
  std::vector<OwnedResource> launcher;
  for (const TestResource& r : LauncherResources()) launcher.push_back({r.type, r.name, r.language, r.bytes});
  std::vector<OwnedResource> build = launcher;
  for (int id : {1100, 1020, 1025, 1030}) build.push_back({{0, u"EXTRSC"}, {static_cast<std::uint16_t>(id), {}}, 0x409, Filled(100 + id, 3)});
  build.push_back({{0, u"EXTRSC"}, {1040, {}}, 0x409, Filled(3 * 1024 * 1024 + 5, 9)});
  return {
      {"no resources", {}},
      {"the launcher's own", launcher},
      {"a build's, with a large payload", build},
      {"names in mixed case, languages, empty and odd-sized data",
       {{{0, u"zeta"}, {7, {}}, 0x409, Filled(1, 1)},
        {{0, u"Alpha"}, {0, u"second"}, 0x407, Filled(3, 2)},
        {{0, u"Alpha"}, {0, u"First"}, 0x409, {}},
        {{0, u"Alpha"}, {0, u"First"}, 0x407, Filled(9, 4)},
        {{0, u"Alpha"}, {12, {}}, 0, Filled(17, 5)},
        {{10, {}}, {0, u"summer"}, 0x40C, Filled(2, 6)},
        {{10, {}}, {0, u"SUMMARY"}, 0x40C, Filled(5, 6)},
        {{3, {}}, {65535, {}}, 65535, Filled(40, 7)}}},
  };
}

TEST_F(ResourceSectionTest, WrittenResourcesReadBackTheSameWithBothReaders) {
  for (const RoundTripCase& c : RoundTripCases()) {
    SCOPED_TRACE(c.what);
    const PayloadBuffer original = LauncherWithRelocations();
    const pe::Image before = *pe::ParseImage(original).image;
    PayloadBuffer file = original;
    ASSERT_EQ(pe::ReplaceResources(file, Items(c.resources)), "");

    const pe::ImageResult parsed = pe::ParseImage(file);
    ASSERT_TRUE(parsed.image) << parsed.error;
    const pe::Image& image = *parsed.image;
    EXPECT_EQ(U32(file, image.checksumOffset), pe::ComputeChecksum(file, image.checksumOffset));
    EXPECT_EQ(image.imageEnd, file.size());

    // Read back in directory order: the resources as they were given, sorted.
    const auto listed = pe::ListResources(file, image);
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), c.resources.size());
    std::multiset<std::string> ours, given;
    for (const OwnedResource& r : c.resources) given.insert(Key(r.type, r.name, r.language, r.bytes.size()));
    for (std::size_t i = 0; i < listed->size(); ++i) {
      const pe::ResourceEntry& entry = (*listed)[i];
      ours.insert(Key(entry.type, entry.name, entry.language, entry.size));
      EXPECT_EQ(entry.dataRva % 8, 0u);
      const auto found = std::find_if(c.resources.begin(), c.resources.end(), [&](const OwnedResource& r) {
        return r.type == entry.type && r.name == entry.name && r.language == entry.language;
      });
      ASSERT_NE(found, c.resources.end());
      const auto bytes = pe::ResourceBytes(file, image, entry);
      EXPECT_EQ(PayloadBuffer(bytes.begin(), bytes.end()), found->bytes);
      if (i == 0) continue;
      const pe::ResourceEntry& previous = (*listed)[i - 1];
      const bool ordered = pe::ResourceNameBefore(previous.type, entry.type) ||
                           (previous.type == entry.type && (pe::ResourceNameBefore(previous.name, entry.name) ||
                                                            (previous.name == entry.name && previous.language < entry.language)));
      EXPECT_TRUE(ordered) << "entry " << i;
    }
    EXPECT_EQ(ours, given);
    EXPECT_EQ(ListedByObjdump(Save(file, "written.exe")), given);

    // The section stays where it was; the relocations follow it, whole.
    const pe::Section& resources = image.sections[1];
    const pe::Section& relocations = image.sections[2];
    EXPECT_EQ(resources.rawOffset, before.sections[1].rawOffset);
    EXPECT_EQ(resources.virtualAddress, before.sections[1].virtualAddress);
    EXPECT_EQ(image.Directory(pe::kResourceDirectory).size, resources.virtualSize);
    EXPECT_EQ(resources.rawSize % 0x200, 0u);
    EXPECT_EQ(relocations.rawOffset, resources.rawOffset + resources.rawSize);
    EXPECT_EQ(relocations.virtualAddress, (resources.virtualAddress + resources.virtualSize + 0xFFF) & ~0xFFFu);
    EXPECT_EQ(image.Directory(pe::kBaseRelocationTable).address, relocations.virtualAddress);
    EXPECT_TRUE(std::equal(file.begin() + relocations.rawOffset, file.begin() + relocations.rawOffset + 0x200,
                           original.begin() + before.sections[2].rawOffset));
    EXPECT_EQ(U32(file, image.optionalOffset + 56), relocations.virtualAddress + 0x1000);
    EXPECT_EQ(U32(file, image.optionalOffset + 8), resources.rawSize + relocations.rawSize);
    // Everything before the section but the header fields is the launcher's.
    EXPECT_TRUE(std::equal(file.begin() + 0x200, file.begin() + resources.rawOffset, original.begin() + 0x200));
  }
}

TEST_F(ResourceSectionTest, WritingTheSameSetTwiceGivesTheSameBytes) {
  const std::vector<OwnedResource> resources = RoundTripCases()[3].resources;
  std::vector<OwnedResource> reversed(resources.rbegin(), resources.rend());
  PayloadBuffer first = LauncherWithRelocations();
  PayloadBuffer second = first;
  ASSERT_EQ(pe::ReplaceResources(first, Items(resources)), "");
  ASSERT_EQ(pe::ReplaceResources(second, Items(reversed)), "");
  EXPECT_EQ(first, second);
  // Written into its own output again, the set gives the same image.
  PayloadBuffer third = first;
  ASSERT_EQ(pe::ReplaceResources(third, Items(resources)), "");
  EXPECT_EQ(third, first);
}

TEST(ResourceNameOrderTest, NamedBeforeNumberedNamesWithoutCaseNumbersAscending) {
  const std::vector<pe::ResourceName> sorted = {{0, u"alpha"}, {0, u"Beta"}, {0, u"BETAS"}, {0, u"gamma"},
                                                {0, u"_under"}, {0, u"\u00e9clair"}, {1, {}}, {16, {}}, {1040, {}}};
  for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
    EXPECT_TRUE(pe::ResourceNameBefore(sorted[i], sorted[i + 1])) << i;
    EXPECT_FALSE(pe::ResourceNameBefore(sorted[i + 1], sorted[i])) << i;
  }
  // '_' lies between the upper- and lower-case letters: compared in upper case.
  EXPECT_TRUE(pe::ResourceNameBefore({0, u"ZULU"}, {0, u"_under"}));
  EXPECT_FALSE(pe::ResourceNameBefore({0, u"PNG"}, {0, u"png"}));
  EXPECT_EQ(pe::FoldResourceNameUnit(u'\u00e9'), u'\u00c9');
  EXPECT_EQ(pe::FoldResourceNameUnit(u'\u044f'), u'\u042f');
  EXPECT_EQ(pe::FoldResourceNameUnit(u'\u00f7'), u'\u00f7');
}

// What the linker makes is what the writer makes: the layout of a section
// holding the same resources, written at the same address, is the same.
TEST(ResourceLayoutTest, DirectoriesStringsEntriesThenDataOnEightBytes) {
  const PayloadBuffer png = Filled(5, 1);
  const PayloadBuffer icon = Filled(8, 2);
  const pe::ResourceSectionLayout layout =
      pe::LayOutResourceSection({{{3, {}}, {1, {}}, 0x409, icon}, {{0, u"PNG"}, {141, {}}, 0x409, png}}, 0x4C000);
  ASSERT_EQ(layout.error, "");
  const PayloadBuffer& b = layout.bytes;
  // Root, PNG's directory and its name's, 3's and its name's: five
  // directories of one or two entries up to 0x80.
  EXPECT_EQ(le::ReadU16(b.data() + 12), 1);
  EXPECT_EQ(le::ReadU16(b.data() + 14), 1);
  EXPECT_EQ(U32(b, 16), 0x80000000u | 0x80);  // "PNG", after the directories
  EXPECT_EQ(U32(b, 20), 0x80000000u | 0x20);  // its directory right after the root
  EXPECT_EQ(U32(b, 24), 3u);
  EXPECT_EQ(U32(b, 28), 0x80000000u | 0x50);  // after PNG's and its name's
  EXPECT_EQ(U32(b, 0x30), 141u);
  EXPECT_EQ(U32(b, 0x34), 0x80000000u | 0x38);
  EXPECT_EQ(U32(b, 0x48), 0x409u);            // PNG/141's language entry
  EXPECT_EQ(U32(b, 0x4C), 0x88u);             // its data entry, after the string
  EXPECT_EQ(le::ReadU16(b.data() + 0x80), 3);
  EXPECT_EQ(le::ReadU16(b.data() + 0x82), u'P');
  EXPECT_EQ(U32(b, 0x88), 0x4C000u + 0xA8);   // data after the two data entries
  EXPECT_EQ(U32(b, 0x8C), 5u);
  EXPECT_EQ(U32(b, 0x98), 0x4C000u + 0xB0);   // the next on eight bytes
  EXPECT_EQ(U32(b, 0x9C), 8u);
  EXPECT_TRUE(std::equal(png.begin(), png.end(), b.begin() + 0xA8));
  EXPECT_TRUE(std::equal(icon.begin(), icon.end(), b.begin() + 0xB0));
  EXPECT_EQ(b.size(), 0xB8u);
}

struct RefusalCase {
  const char* what;
  PayloadBuffer image;
  std::vector<OwnedResource> resources;
  const char* reason;
};

TEST(ResourceSectionRefusalTest, ImagesItCannotRewriteSafelyAreRefusedUnchanged) {
  const PayloadBuffer good = LauncherWithRelocations();
  const pe::Image image = *pe::ParseImage(good).image;
  const std::size_t directories = image.directoryOffset;
  const std::size_t table = image.sectionTableOffset;
  PayloadBuffer certificate = good;
  le::WriteU32(certificate.data() + directories + 8 * pe::kCertificateTable, static_cast<std::uint32_t>(good.size()));
  le::WriteU32(certificate.data() + directories + 8 * pe::kCertificateTable + 4, 8);
  certificate.resize(good.size() + 8, 0);
  PayloadBuffer debug = good;
  le::WriteU32(debug.data() + directories + 8 * pe::kDebugDirectory, 0x1100);
  le::WriteU32(debug.data() + directories + 8 * pe::kDebugDirectory + 4, 28);
  PayloadBuffer overlapping = good;
  le::WriteU32(overlapping.data() + table + 8, 0x1800);  // .text's virtual size reaches into .rsrc
  PayloadBuffer fileOverlap = good;
  le::WriteU32(fileOverlap.data() + table + 16, 0x400);  // .text's raw data runs into .rsrc's
  PayloadBuffer notMovable = good;
  le::WriteU32(notMovable.data() + directories + 8 * pe::kBaseRelocationTable, 0);
  le::WriteU32(notMovable.data() + directories + 8 * pe::kBaseRelocationTable + 4, 0);
  PayloadBuffer sharedResources = good;
  le::WriteU32(sharedResources.data() + directories + 8 * 1, 0x2010);  // imports inside .rsrc
  le::WriteU32(sharedResources.data() + directories + 8 * 1 + 4, 20);
  PayloadBuffer relocationsIntoResources = good;
  le::WriteU32(relocationsIntoResources.data() + image.sections[2].rawOffset, 0x2000);
  PayloadBuffer appended = good;
  appended.push_back(1);
  PayloadBuffer symbols = good;
  le::WriteU32(symbols.data() + image.timeStampOffset + 4, 0x200);
  const std::vector<OwnedResource> duplicate = {{{0, u"EXTRSC"}, {1100, {}}, 0x409, {1}},
                                                {{0, u"EXTRSC"}, {1100, {}}, 0x409, {2}}};
  const std::vector<OwnedResource> typeInTwoCases = {{{0, u"EXTRSC"}, {1100, {}}, 0x409, {1}},
                                                     {{0, u"extrsc"}, {1020, {}}, 0x409, {2}}};
  const std::vector<OwnedResource> nameInTwoCases = {{{10, {}}, {0, u"Settings"}, 0x409, {1}},
                                                     {{10, {}}, {0, u"SETTINGS"}, 0x407, {2}}};
  const RefusalCase cases[] = {
      {"certificate table", certificate, {}, "certificate table"},
      {"debug directory", debug, {}, "debug directory"},
      {"sections overlapping in memory", overlapping, {}, "sections overlap"},
      {"sections overlapping in the file", fileOverlap, {}, "overlap"},
      {"a section after the resources that is not the relocations", notMovable, {}, "cannot be moved"},
      {"other data in the resource section", sharedResources, {}, "holds other data"},
      {"relocations of the resources", relocationsIntoResources, {}, "reach into sections that move"},
      {"data after the image", appended, {}, "appended"},
      {"a symbol table", symbols, {}, "symbol table"},
      {"one resource twice", good, duplicate, "two resources of type \"EXTRSC\", name 1100 and language 1033"},
      {"one type in two cases", good, typeInTwoCases, "resource types \"extrsc\" and \"EXTRSC\" differ only in case"},
      {"one name in two cases", good, nameInTwoCases, "differ only in case"},
      {"no image", PayloadBuffer(100, 0), {}, "MZ"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    PayloadBuffer file = c.image;
    const std::string error = pe::ReplaceResources(file, Items(c.resources));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(file, c.image);
  }
}

}  // namespace
}  // namespace brisk
