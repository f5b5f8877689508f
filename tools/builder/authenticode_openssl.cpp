// The signed data read with OpenSSL's libcrypto: its PKCS#7 parser, its
// generic DER sequences for the Authenticode content, its digests.
#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

#include "authenticode.h"

namespace brisk {

namespace {

// SpcIndirectDataContent, the content type of an Authenticode signature.
constexpr char kIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";

struct Pkcs7Free {
  void operator()(PKCS7* p) const { PKCS7_free(p); }
};
struct SequenceFree {
  void operator()(ASN1_SEQUENCE_ANY* s) const { sk_ASN1_TYPE_pop_free(s, ASN1_TYPE_free); }
};
struct AlgorithmFree {
  void operator()(X509_ALGOR* a) const { X509_ALGOR_free(a); }
};
struct DigestContextFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Sequence = std::unique_ptr<ASN1_SEQUENCE_ANY, SequenceFree>;

// The elements of a DER sequence held by an ASN1_TYPE.
Sequence Elements(const ASN1_TYPE* type) {
  if (!type || type->type != V_ASN1_SEQUENCE) return nullptr;
  const unsigned char* der = type->value.sequence->data;
  return Sequence(d2i_ASN1_SEQUENCE_ANY(nullptr, &der, type->value.sequence->length));
}

std::string ObjectText(const ASN1_OBJECT* object) {
  char text[128] = {};
  OBJ_obj2txt(text, sizeof text, object, 1);
  return text;
}

SignedDigest Unreadable(const std::string& why) { return {{}, {}, why}; }

}  // namespace

SignedDigest ReadSignedDigest(std::span<const std::uint8_t> signedData) {
  const unsigned char* der = signedData.data();
  const std::unique_ptr<PKCS7, Pkcs7Free> pkcs7(d2i_PKCS7(nullptr, &der, static_cast<long>(signedData.size())));
  if (!pkcs7 || !PKCS7_type_is_signed(pkcs7.get()) || !pkcs7->d.sign || !pkcs7->d.sign->contents) {
    return Unreadable("its certificate table holds no PKCS#7 signed data");
  }
  const PKCS7* content = pkcs7->d.sign->contents;
  if (ObjectText(content->type) != kIndirectDataOid) return Unreadable("its signed data is no Authenticode signature");
  // SpcIndirectDataContent: { data, DigestInfo { AlgorithmIdentifier, OCTET STRING } }.
  const Sequence indirect = Elements(content->d.other);
  if (!indirect || sk_ASN1_TYPE_num(indirect.get()) != 2) return Unreadable("its Authenticode content is damaged");
  const Sequence digestInfo = Elements(sk_ASN1_TYPE_value(indirect.get(), 1));
  if (!digestInfo || sk_ASN1_TYPE_num(digestInfo.get()) != 2) return Unreadable("its image digest is damaged");
  const ASN1_TYPE* algorithmType = sk_ASN1_TYPE_value(digestInfo.get(), 0);
  const ASN1_TYPE* digestType = sk_ASN1_TYPE_value(digestInfo.get(), 1);
  if (algorithmType->type != V_ASN1_SEQUENCE || digestType->type != V_ASN1_OCTET_STRING) {
    return Unreadable("its image digest is damaged");
  }
  const unsigned char* algorithmDer = algorithmType->value.sequence->data;
  const std::unique_ptr<X509_ALGOR, AlgorithmFree> algorithm(
      d2i_X509_ALGOR(nullptr, &algorithmDer, algorithmType->value.sequence->length));
  if (!algorithm) return Unreadable("its digest algorithm is damaged");
  SignedDigest result;
  result.algorithmId = ObjectText(algorithm->algorithm);
  const ASN1_OCTET_STRING* digest = digestType->value.octet_string;
  result.digest.assign(digest->data, digest->data + digest->length);
  return result;
}

std::vector<std::uint8_t> ComputeDigest(const std::string& algorithmId, std::span<const std::uint8_t> file,
                                        const std::vector<std::pair<std::size_t, std::size_t>>& ranges) {
  const std::unique_ptr<ASN1_OBJECT, decltype(&ASN1_OBJECT_free)> object(OBJ_txt2obj(algorithmId.c_str(), 1),
                                                                         ASN1_OBJECT_free);
  const EVP_MD* md = object ? EVP_get_digestbyobj(object.get()) : nullptr;
  const std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
  if (!md || !context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return {};
  for (const auto& [begin, end] : ranges) {
    if (EVP_DigestUpdate(context.get(), file.data() + begin, end - begin) != 1) return {};
  }
  std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) return {};
  digest.resize(length);
  return digest;
}

}  // namespace brisk
