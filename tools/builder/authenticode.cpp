#include "authenticode.h"

#include "payload/byte_order.h"
#include "pe_image.h"

namespace brisk {

namespace {

// WIN_CERTIFICATE: dwLength, wRevision, wCertificateType, then the data.
constexpr std::size_t kCertificateHeaderBytes = 8;
constexpr std::uint16_t kCertificateRevision2 = 0x0200;
constexpr std::uint16_t kCertificateTypePkcsSignedData = 0x0002;

}  // namespace

std::string DigestName(const std::string& algorithmId) {
  static constexpr std::pair<const char*, const char*> kNames[] = {{"1.2.840.113549.2.5", "MD5"},
                                                                   {"1.3.14.3.2.26", "SHA-1"},
                                                                   {"2.16.840.1.101.3.4.2.1", "SHA-256"},
                                                                   {"2.16.840.1.101.3.4.2.2", "SHA-384"},
                                                                   {"2.16.840.1.101.3.4.2.3", "SHA-512"}};
  for (const auto& [id, name] : kNames) {
    if (algorithmId == id) return name;
  }
  return algorithmId;
}

DigestLayout AuthenticodeLayout(std::span<const std::uint8_t> file) {
  DigestLayout layout;
  const pe::ImageResult parsed = pe::ParseImage(file);
  if (!parsed.image) {
    layout.problem = parsed.error;
    return layout;
  }
  const pe::Image& image = *parsed.image;
  const pe::DataDirectory table = image.Directory(pe::kCertificateTable);
  const std::size_t entry = image.directoryOffset + 8 * pe::kCertificateTable;
  // Signers append the table after the image, at the end of the file.
  if (table.address < image.imageEnd || std::uint64_t{table.address} + table.size != file.size() ||
      table.size < kCertificateHeaderBytes) {
    layout.problem = "its certificate table is not at the end of the file";
    return layout;
  }
  const std::uint8_t* header = file.data() + table.address;
  const std::uint32_t length = le::ReadU32(header);
  if (length < kCertificateHeaderBytes || length > table.size || le::ReadU16(header + 4) != kCertificateRevision2 ||
      le::ReadU16(header + 6) != kCertificateTypePkcsSignedData) {
    layout.problem = "its certificate table holds no PKCS#7 signed data";
    return layout;
  }
  layout.signedData = file.subspan(table.address + kCertificateHeaderBytes, length - kCertificateHeaderBytes);
  layout.ranges = {{0, image.checksumOffset}, {image.checksumOffset + 4, entry}, {entry + 8, table.address}};
  return layout;
}

SignatureCheck CheckSignature(std::span<const std::uint8_t> file) {
  const pe::ImageResult parsed = pe::ParseImage(file);
  if (!parsed.image || !pe::HasCertificateTable(file, *parsed.image)) return {};
  const DigestLayout layout = AuthenticodeLayout(file);
  if (!layout.problem.empty()) return {SignatureState::kUnreadable, {}, layout.problem};
  const SignedDigest signedDigest = ReadSignedDigest(layout.signedData);
  if (!signedDigest.problem.empty()) return {SignatureState::kUnreadable, {}, signedDigest.problem};
  const std::string algorithm = DigestName(signedDigest.algorithmId);
  const std::vector<std::uint8_t> digest = ComputeDigest(signedDigest.algorithmId, file, layout.ranges);
  if (digest.empty()) {
    return {SignatureState::kUnreadable, algorithm,
            "its digest algorithm " + algorithm + " is not one this tool computes"};
  }
  return {digest == signedDigest.digest ? SignatureState::kMatches : SignatureState::kDoesNotMatch, algorithm, {}};
}

}  // namespace brisk
