// The signed data read with the system's CryptoAPI (crypt32): its PKCS#7
// message decoder and its generic DER sequences for the Authenticode
// content, and a hash of its cryptographic provider. The image digest's
// algorithm is taken from the signer: Authenticode requires the two to be
// the same, and crypt32 decodes the signer's without WinTrust.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <memory>

#include "authenticode.h"

namespace brisk {

namespace {

constexpr char kIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct MessageClose {
  void operator()(void* message) const { CryptMsgClose(message); }
};
struct LocalMemoryFree {
  void operator()(void* memory) const { LocalFree(memory); }
};
template <typename T>
using Decoded = std::unique_ptr<T, LocalMemoryFree>;

SignedDigest Unreadable(const std::string& why) { return {{}, {}, why}; }

// A message parameter's bytes; empty when there is none.
std::vector<std::uint8_t> Parameter(HCRYPTMSG message, DWORD type) {
  DWORD size = 0;
  if (!CryptMsgGetParam(message, type, 0, nullptr, &size) || size == 0) return {};
  std::vector<std::uint8_t> bytes(size);
  if (!CryptMsgGetParam(message, type, 0, bytes.data(), &size)) return {};
  bytes.resize(size);
  return bytes;
}

template <typename T>
Decoded<T> Decode(LPCSTR type, const BYTE* data, DWORD size) {
  void* decoded = nullptr;
  DWORD decodedSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, type, data, size, CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded,
                           &decodedSize)) {
    return nullptr;
  }
  return Decoded<T>(static_cast<T*>(decoded));
}

}  // namespace

SignedDigest ReadSignedDigest(std::span<const std::uint8_t> signedData) {
  const std::unique_ptr<void, MessageClose> message(CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
  if (!message || !CryptMsgUpdate(message.get(), signedData.data(), static_cast<DWORD>(signedData.size()), TRUE)) {
    return Unreadable("its certificate table holds no PKCS#7 signed data");
  }
  std::vector<std::uint8_t> type = Parameter(message.get(), CMSG_INNER_CONTENT_TYPE_PARAM);
  type.push_back(0);
  if (std::string(reinterpret_cast<const char*>(type.data())) != kIndirectDataOid) {
    return Unreadable("its signed data is no Authenticode signature");
  }
  // SpcIndirectDataContent: { data, DigestInfo { AlgorithmIdentifier, OCTET STRING } }.
  const std::vector<std::uint8_t> content = Parameter(message.get(), CMSG_CONTENT_PARAM);
  const auto indirect =
      Decode<CRYPT_SEQUENCE_OF_ANY>(X509_SEQUENCE_OF_ANY, content.data(), static_cast<DWORD>(content.size()));
  if (content.empty() || !indirect || indirect->cValue != 2) return Unreadable("its Authenticode content is damaged");
  const auto digestInfo =
      Decode<CRYPT_SEQUENCE_OF_ANY>(X509_SEQUENCE_OF_ANY, indirect->rgValue[1].pbData, indirect->rgValue[1].cbData);
  if (!digestInfo || digestInfo->cValue != 2) return Unreadable("its image digest is damaged");
  const auto digest =
      Decode<CRYPT_DATA_BLOB>(X509_OCTET_STRING, digestInfo->rgValue[1].pbData, digestInfo->rgValue[1].cbData);
  if (!digest) return Unreadable("its image digest is damaged");

  DWORD signerSize = 0;
  if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &signerSize) || signerSize == 0) {
    return Unreadable("its signed data names no signer");
  }
  std::vector<std::uint8_t> signerBytes(signerSize);
  if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, signerBytes.data(), &signerSize)) {
    return Unreadable("its signed data names no signer");
  }
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBytes.data());
  SignedDigest result;
  result.algorithmId = signer->HashAlgorithm.pszObjId ? signer->HashAlgorithm.pszObjId : "";
  result.digest.assign(digest->pbData, digest->pbData + digest->cbData);
  return result;
}

std::vector<std::uint8_t> ComputeDigest(const std::string& algorithmId, std::span<const std::uint8_t> file,
                                        const std::vector<std::pair<std::size_t, std::size_t>>& ranges) {
  static constexpr std::pair<const char*, ALG_ID> kAlgorithms[] = {{"1.2.840.113549.2.5", CALG_MD5},
                                                                   {"1.3.14.3.2.26", CALG_SHA1},
                                                                   {"2.16.840.1.101.3.4.2.1", CALG_SHA_256},
                                                                   {"2.16.840.1.101.3.4.2.2", CALG_SHA_384},
                                                                   {"2.16.840.1.101.3.4.2.3", CALG_SHA_512}};
  ALG_ID algorithm = 0;
  for (const auto& [id, alg] : kAlgorithms) {
    if (algorithmId == id) algorithm = alg;
  }
  if (algorithm == 0) return {};
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return {};
  std::vector<std::uint8_t> digest;
  HCRYPTHASH hash = 0;
  if (CryptCreateHash(provider, algorithm, 0, 0, &hash)) {
    bool hashed = true;
    for (const auto& [begin, end] : ranges) {
      for (std::size_t at = begin; hashed && at < end;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(end - at, 1 << 24));
        hashed = CryptHashData(hash, file.data() + at, chunk, 0) != FALSE;
        at += chunk;
      }
    }
    DWORD size = 0;
    DWORD sizeBytes = sizeof size;
    if (hashed && CryptGetHashParam(hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeBytes, 0)) {
      digest.resize(size);
      if (!CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0)) digest.clear();
    }
    CryptDestroyHash(hash);
  }
  CryptReleaseContext(provider, 0);
  return digest;
}

}  // namespace brisk
