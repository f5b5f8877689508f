#include "version_resource.h"

#include "payload/byte_order.h"

namespace brisk {

namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedInfoVersion = 0x00010000;
constexpr std::size_t kFixedInfoBytes = 52;
constexpr std::uint32_t kFileFlagsMask = 0x3F;
constexpr std::uint32_t kOsNtWindows32 = 0x00040004;
constexpr std::uint32_t kFileTypeApp = 1;
constexpr std::uint16_t kBinaryValue = 0;
constexpr std::uint16_t kTextValue = 1;
constexpr std::size_t kNodeHeaderBytes = 6;

// One block of the version resource: a header (total length, value length,
// value type), its key, its value and its child blocks, each part starting
// at a multiple of four bytes.
struct Node {
  std::u16string key;
  std::uint16_t type = kBinaryValue;
  std::uint16_t valueLength = 0;  // bytes for a binary value, UTF-16 units for a text
  PayloadBuffer value;
  std::vector<Node> children;
};

void AppendU16(PayloadBuffer& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(PayloadBuffer& bytes, std::uint32_t value) {
  AppendU16(bytes, static_cast<std::uint16_t>(value));
  AppendU16(bytes, static_cast<std::uint16_t>(value >> 16));
}

void AppendText(PayloadBuffer& bytes, std::u16string_view text) {
  for (char16_t unit : text) AppendU16(bytes, unit);
  AppendU16(bytes, 0);
}

void PadToFour(PayloadBuffer& bytes) {
  while (bytes.size() % 4 != 0) bytes.push_back(0);
}

void Write(const Node& node, PayloadBuffer& out) {
  PadToFour(out);
  const std::size_t start = out.size();
  AppendU16(out, 0);
  AppendU16(out, node.valueLength);
  AppendU16(out, node.type);
  AppendText(out, node.key);
  PadToFour(out);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const Node& child : node.children) Write(child, out);
  le::WriteU16(out.data() + start, static_cast<std::uint16_t>(out.size() - start));
}

Node TextNode(const std::u16string& key, const std::u16string& text) {
  Node node{key, kTextValue, static_cast<std::uint16_t>(text.size() + 1), {}, {}};
  AppendText(node.value, text);
  return node;
}

std::uint32_t HighWord(const std::array<std::uint16_t, 4>& version) {
  return (std::uint32_t{version[0]} << 16) | version[1];
}
std::uint32_t LowWord(const std::array<std::uint16_t, 4>& version) {
  return (std::uint32_t{version[2]} << 16) | version[3];
}

// A block as read back, with the offsets of its value and children.
struct ReadNode {
  std::u16string key;
  std::uint16_t type = 0;
  std::span<const std::uint8_t> value;
  std::vector<ReadNode> children;
};

std::size_t AlignFour(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

std::optional<ReadNode> Read(std::span<const std::uint8_t> bytes, std::size_t start, std::size_t limit, int depth) {
  if (depth > 4 || start + kNodeHeaderBytes > limit) return std::nullopt;
  const std::size_t length = le::ReadU16(bytes.data() + start);
  const std::size_t valueLength = le::ReadU16(bytes.data() + start + 2);
  ReadNode node;
  node.type = le::ReadU16(bytes.data() + start + 4);
  const std::size_t end = start + length;
  if (length < kNodeHeaderBytes || end > limit) return std::nullopt;
  std::size_t at = start + kNodeHeaderBytes;
  while (true) {
    if (at + 2 > end) return std::nullopt;
    const char16_t unit = le::ReadU16(bytes.data() + at);
    at += 2;
    if (unit == 0) break;
    node.key.push_back(unit);
  }
  at = AlignFour(at);
  const std::size_t valueBytes = node.type == kTextValue ? 2 * valueLength : valueLength;
  if (at + valueBytes > end) return std::nullopt;
  node.value = bytes.subspan(at, valueBytes);
  at = AlignFour(at + valueBytes);
  while (at < end) {
    std::optional<ReadNode> child = Read(bytes, at, end, depth + 1);
    if (!child) return std::nullopt;
    at = AlignFour(at + le::ReadU16(bytes.data() + at));
    node.children.push_back(std::move(*child));
  }
  return node;
}

std::u16string ValueText(std::span<const std::uint8_t> value) {
  std::u16string text;
  for (std::size_t at = 0; at + 1 < value.size(); at += 2) {
    const char16_t unit = le::ReadU16(value.data() + at);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

}  // namespace

PayloadBuffer MakeVersionResource(const VersionInfo& info) {
  Node root{u"VS_VERSION_INFO", kBinaryValue, kFixedInfoBytes, {}, {}};
  for (std::uint32_t field :
       {kFixedInfoSignature, kFixedInfoVersion, HighWord(info.fileVersion), LowWord(info.fileVersion),
        HighWord(info.productVersion), LowWord(info.productVersion), kFileFlagsMask, std::uint32_t{0}, kOsNtWindows32,
        kFileTypeApp, std::uint32_t{0}, std::uint32_t{0}, std::uint32_t{0}}) {
    AppendU32(root.value, field);
  }

  Node table{u"040904B0", kTextValue, 0, {}, {}};
  for (const auto& [name, value] : info.strings) table.children.push_back(TextNode(name, value));
  Node stringInfo{u"StringFileInfo", kTextValue, 0, {}, {}};
  stringInfo.children.push_back(std::move(table));

  Node translation{u"Translation", kBinaryValue, 4, {}, {}};
  AppendU32(translation.value, (std::uint32_t{kVersionCodePage} << 16) | kVersionLanguage);
  Node varInfo{u"VarFileInfo", kTextValue, 0, {}, {}};
  varInfo.children.push_back(std::move(translation));

  root.children.push_back(std::move(stringInfo));
  root.children.push_back(std::move(varInfo));
  PayloadBuffer bytes;
  Write(root, bytes);
  return bytes;
}

std::optional<ParsedVersion> ParseVersionResource(std::span<const std::uint8_t> bytes) {
  std::optional<ReadNode> root = Read(bytes, 0, bytes.size(), 0);
  if (!root || root->key != u"VS_VERSION_INFO" || root->value.size() < kFixedInfoBytes ||
      le::ReadU32(root->value.data()) != kFixedInfoSignature) {
    return std::nullopt;
  }
  ParsedVersion parsed;
  const auto version = [&](std::size_t at) {
    const std::uint32_t high = le::ReadU32(root->value.data() + at);
    const std::uint32_t low = le::ReadU32(root->value.data() + at + 4);
    return std::array<std::uint16_t, 4>{static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
                                        static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)};
  };
  parsed.info.fileVersion = version(8);
  parsed.info.productVersion = version(16);
  for (const ReadNode& child : root->children) {
    if (child.key == u"StringFileInfo" && !child.children.empty() && parsed.stringTable.empty()) {
      parsed.stringTable = child.children.front().key;
      for (const ReadNode& string : child.children.front().children) {
        parsed.info.strings.emplace_back(string.key, ValueText(string.value));
      }
    } else if (child.key == u"VarFileInfo") {
      for (const ReadNode& var : child.children) {
        if (var.key != u"Translation") continue;
        for (std::size_t at = 0; at + 4 <= var.value.size(); at += 4) {
          parsed.translations.push_back(le::ReadU32(var.value.data() + at));
        }
      }
    }
  }
  return parsed;
}

}  // namespace brisk
