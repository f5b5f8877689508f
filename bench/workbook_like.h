// A stand-in for a large compiled workbook: a compound-document file whose
// bulk is an encrypted package. Deflate cannot shrink such data, so the
// payload container holds it in stored blocks, as it does for real builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace brisk::bench {

// Sector size of the generated compound document; every file is a whole
// number of sectors.
constexpr std::size_t kSectorSize = 512;

// Fills `file` (a multiple of kSectorSize, at least 8 sectors) with a
// compound-document-like image: the header, an "EncryptionInfo" stream of
// XML text, a directory naming both streams, allocation-table sectors that
// chain the streams, and an "EncryptedPackage" stream of pseudo-random bytes
// (the same bytes for the same seed) filling the rest.
void FillWorkbookLikeFile(std::span<std::uint8_t> file, std::uint64_t seed);

}  // namespace brisk::bench
