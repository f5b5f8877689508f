// Whether a file's Authenticode signature belongs to the file as it is: the
// image digest the signature holds, recomputed from the file. A byte changed
// after signing (outside the signature itself) makes them differ. The
// certificate, its chain and the signer's own signature are not judged
// here: that is the system's verification on the user's machine.
//
// The PKCS#7 signed data is read with the system's library (OpenSSL's
// libcrypto natively, CryptoAPI on Windows), never by hand; the digest is
// computed by the same library. Only the PE layout, the project's own, is
// read here: the digest covers the whole file up to the certificate table
// but the checksum field and the certificate table's directory entry.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brisk {

enum class SignatureState {
  kUnsigned,      // no certificate table
  kMatches,       // the signature's image digest is the file's
  kDoesNotMatch,  // the file changed after it was signed
  kUnreadable,    // a certificate table that holds no Authenticode signature the library reads
};

struct SignatureCheck {
  SignatureState state = SignatureState::kUnsigned;
  std::string algorithm;  // the digest's name ("SHA-256"), once read
  std::string problem;    // why kUnreadable
};

SignatureCheck CheckSignature(std::span<const std::uint8_t> file);

// The parts of the file an image digest covers, as [begin, end) offsets;
// `certificates` is the PKCS#7 signed data of the first certificate of the
// table. Nothing, and `problem` set, for a table that is not where a signer
// puts it.
struct DigestLayout {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  std::span<const std::uint8_t> signedData;
  std::string problem;
};
DigestLayout AuthenticodeLayout(std::span<const std::uint8_t> file);

// What the platform's library reads from the signed data: the digest
// algorithm (its OID, "2.16.840.1.101.3.4.2.1") and the image digest;
// `problem` when it reads none.
struct SignedDigest {
  std::string algorithmId;
  std::vector<std::uint8_t> digest;
  std::string problem;
};
SignedDigest ReadSignedDigest(std::span<const std::uint8_t> signedData);

// A digest algorithm's name for people ("SHA-256"), or its OID.
std::string DigestName(const std::string& algorithmId);

// The digest of the ranges of `file` with the algorithm of that OID; empty
// when the library cannot compute it.
std::vector<std::uint8_t> ComputeDigest(const std::string& algorithmId, std::span<const std::uint8_t> file,
                                        const std::vector<std::pair<std::size_t, std::size_t>>& ranges);

}  // namespace brisk
