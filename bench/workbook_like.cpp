#include "bench/workbook_like.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string_view>

#include "payload/byte_order.h"

namespace brisk::bench {

namespace {

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::size_t kEntriesPerSector = kSectorSize / 4;
constexpr std::size_t kHeaderFatSlots = 109;

constexpr std::string_view kEncryptionInfo =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
    "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
    "<keyData saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" cipherAlgorithm=\"AES\" "
    "cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA512\" saltValue=\"q1Xb2kP0sVd7a9Lr3mEw4Q==\"/>"
    "<dataIntegrity encryptedHmacKey=\"9d2kQ0x1Vb7Lr3mEw4Qq1Xb2kP0sVd7a9Lr3mEw4QA==\" "
    "encryptedHmacValue=\"Xb2kP0sVd7a9Lr3mEw4Qq1Xb2kP0sVd7a9Lr3mEw4QB==\"/>"
    "<keyEncryptors><keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
    "<p:encryptedKey spinCount=\"100000\" saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" "
    "cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA512\"/>"
    "</keyEncryptor></keyEncryptors></encryption>";

void PutU16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutDirectoryEntry(std::uint8_t* entry, std::u16string_view name, std::uint8_t type, std::uint32_t child,
                       std::uint32_t right, std::uint32_t start, std::uint32_t size) {
  for (std::size_t i = 0; i < name.size(); ++i) PutU16(entry + 2 * i, name[i]);
  PutU16(entry + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
  entry[66] = type;
  entry[67] = 1;  // black
  le::WriteU32(entry + 68, kFreeSector);
  le::WriteU32(entry + 72, right);
  le::WriteU32(entry + 76, child);
  le::WriteU32(entry + 116, start);
  le::WriteU32(entry + 120, size);
}

}  // namespace

void FillWorkbookLikeFile(std::span<std::uint8_t> file, std::uint64_t seed) {
  if (file.size() % kSectorSize != 0 || file.size() < 8 * kSectorSize) {
    throw std::invalid_argument("workbook-like file: size must be a whole number of sectors, at least 8");
  }
  std::fill(file.begin(), file.end(), std::uint8_t{0});
  const std::size_t sectors = file.size() / kSectorSize - 1;  // after the header
  auto sector = [&](std::size_t n) { return file.data() + kSectorSize * (n + 1); };

  // Layout after the header: allocation table, directory, EncryptionInfo,
  // then EncryptedPackage up to the end. The table covers every sector,
  // its own included; slots beyond the header's 109 would need DIFAT
  // sectors, which carry nothing but more sector numbers and are left out.
  const std::size_t fatSectors = (sectors + kEntriesPerSector - 1) / kEntriesPerSector;
  const std::size_t directory = fatSectors;
  const std::size_t infoStart = directory + 1;
  const std::size_t infoSectors = (kEncryptionInfo.size() + kSectorSize - 1) / kSectorSize;
  const std::size_t packageStart = infoStart + infoSectors;
  if (packageStart + 1 >= sectors) throw std::invalid_argument("workbook-like file: too small");
  const std::size_t packageBytes = (sectors - packageStart) * kSectorSize;

  std::uint8_t* header = file.data();
  static constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(header, kSignature, sizeof kSignature);
  PutU16(header + 24, 0x003E);
  PutU16(header + 26, 0x0003);
  PutU16(header + 28, 0xFFFE);
  PutU16(header + 30, 9);
  PutU16(header + 32, 6);
  le::WriteU32(header + 44, static_cast<std::uint32_t>(fatSectors));
  le::WriteU32(header + 48, static_cast<std::uint32_t>(directory));
  le::WriteU32(header + 56, 4096);
  le::WriteU32(header + 60, kEndOfChain);
  le::WriteU32(header + 68, kEndOfChain);
  for (std::size_t i = 0; i < kHeaderFatSlots; ++i) {
    le::WriteU32(header + 76 + 4 * i, i < fatSectors ? static_cast<std::uint32_t>(i) : kFreeSector);
  }

  auto setFat = [&](std::size_t index, std::uint32_t value) {
    le::WriteU32(sector(index / kEntriesPerSector) + 4 * (index % kEntriesPerSector), value);
  };
  for (std::size_t i = 0; i < fatSectors; ++i) setFat(i, kFatSector);
  setFat(directory, kEndOfChain);
  auto chain = [&](std::size_t first, std::size_t count) {
    for (std::size_t i = first; i + 1 < first + count; ++i) setFat(i, static_cast<std::uint32_t>(i + 1));
    setFat(first + count - 1, kEndOfChain);
  };
  chain(infoStart, infoSectors);
  chain(packageStart, sectors - packageStart);
  for (std::size_t i = sectors; i < fatSectors * kEntriesPerSector; ++i) setFat(i, kFreeSector);

  std::uint8_t* entries = sector(directory);
  PutDirectoryEntry(entries, u"Root Entry", 5, 1, kFreeSector, kEndOfChain, 0);
  PutDirectoryEntry(entries + 128, u"EncryptionInfo", 2, kFreeSector, 2, static_cast<std::uint32_t>(infoStart),
                    static_cast<std::uint32_t>(kEncryptionInfo.size()));
  PutDirectoryEntry(entries + 256, u"EncryptedPackage", 2, kFreeSector, kFreeSector,
                    static_cast<std::uint32_t>(packageStart), static_cast<std::uint32_t>(packageBytes));
  for (std::size_t e = 3; e < kSectorSize / 128; ++e) {
    le::WriteU32(entries + 128 * e + 68, kFreeSector);
    le::WriteU32(entries + 128 * e + 72, kFreeSector);
    le::WriteU32(entries + 128 * e + 76, kFreeSector);
  }

  std::memcpy(sector(infoStart), kEncryptionInfo.data(), kEncryptionInfo.size());

  // The package: its plain length, then cipher text.
  std::uint8_t* package = sector(packageStart);
  le::WriteU32(package, static_cast<std::uint32_t>(packageBytes - 8));
  std::mt19937_64 random(seed);
  for (std::size_t at = 8; at < packageBytes; at += 8) {
    const std::uint64_t word = random();
    const std::size_t n = std::min<std::size_t>(8, packageBytes - at);
    for (std::size_t b = 0; b < n; ++b) package[at + b] = static_cast<std::uint8_t>(word >> (8 * b));
  }
}

}  // namespace brisk::bench
