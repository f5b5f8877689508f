// Portable reading and patching of a PE image held in memory: its headers,
// its resource tree, its time stamps, its checksum and its certificate
// table. The builder checks the launcher with it, makes its output
// reproducible and reads builds back for `show`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brisk::pe {

inline constexpr std::uint16_t kMachineI386 = 0x14C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kOptionalHeaderPe32 = 0x10B;
inline constexpr std::uint16_t kOptionalHeaderPe32Plus = 0x20B;
inline constexpr std::uint16_t kCharacteristicExecutable = 0x0002;
inline constexpr std::uint16_t kCharacteristicDll = 0x2000;
inline constexpr std::uint16_t kSubsystemWindowsGui = 2;

// Indexes into the data directory.
inline constexpr std::size_t kExportDirectory = 0;
inline constexpr std::size_t kResourceDirectory = 2;
inline constexpr std::size_t kCertificateTable = 4;
inline constexpr std::size_t kBaseRelocationTable = 5;
inline constexpr std::size_t kDebugDirectory = 6;

// Standard resource types.
inline constexpr std::uint16_t kTypeIcon = 3;
inline constexpr std::uint16_t kTypeDialog = 5;
inline constexpr std::uint16_t kTypeGroupIcon = 14;
inline constexpr std::uint16_t kTypeVersion = 16;

struct Section {
  std::string name;
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t characteristics = 0;
};

struct DataDirectory {
  std::uint32_t address = 0;  // an RVA; a file offset for the certificate table
  std::uint32_t size = 0;
};

struct Image {
  std::uint16_t machine = 0;
  std::uint16_t characteristics = 0;  // of the COFF header
  std::uint32_t symbolTable = 0;      // file offset of a COFF symbol table; 0 without one
  std::uint16_t optionalMagic = 0;
  std::uint16_t subsystem = 0;
  std::size_t timeStampOffset = 0;  // file offsets of header fields
  std::size_t checksumOffset = 0;
  std::size_t optionalOffset = 0;   // of the optional header
  std::size_t directoryOffset = 0;  // of data directory entry 0
  std::size_t sectionTableOffset = 0;
  std::vector<DataDirectory> directories;
  std::vector<Section> sections;
  std::uint64_t imageEnd = 0;  // end of the headers and of every section's raw data

  // The file offset of `length` bytes at `rva`, when one section holds them.
  std::optional<std::size_t> FileOffset(std::uint32_t rva, std::uint32_t length) const;
  DataDirectory Directory(std::size_t index) const {
    return index < directories.size() ? directories[index] : DataDirectory{};
  }
};

// Checks the headers and the section table against the file: a damaged or
// cut-off image is refused with one line that says why.
struct ImageResult {
  std::optional<Image> image;
  std::string error;
};
ImageResult ParseImage(std::span<const std::uint8_t> file);

// A resource type or name: a number, or a string when `text` is not empty.
struct ResourceName {
  std::uint16_t id = 0;
  std::u16string text;
  bool operator==(const ResourceName&) const = default;
};

struct ResourceEntry {
  ResourceName type;
  ResourceName name;
  std::uint16_t language = 0;
  std::uint32_t dataRva = 0;
  std::uint32_t size = 0;
};

// Every resource of the image in directory order; nothing when its resource
// tree is damaged (an entry outside the section, deeper than three levels).
std::optional<std::vector<ResourceEntry>> ListResources(std::span<const std::uint8_t> file, const Image& image);

// The bytes of a resource; empty when they lie outside the file.
std::span<const std::uint8_t> ResourceBytes(std::span<const std::uint8_t> file, const Image& image,
                                            const ResourceEntry& entry);

// Sets every time stamp the image carries: the COFF header's, the export
// directory's, each debug directory entry's and each resource directory's.
// False when a directory that should hold one lies outside the file.
bool SetTimeStamps(std::span<std::uint8_t> file, const Image& image, std::uint32_t stamp);

// The standard PE checksum: the 16-bit one's-complement style sum of the
// file with the checksum field counted as zero, plus the file's length.
std::uint32_t ComputeChecksum(std::span<const std::uint8_t> file, std::size_t checksumOffset);
void WriteChecksum(std::span<std::uint8_t> file, const Image& image);

// An Authenticode signature: a certificate table named by data directory
// entry 4 that lies inside the file.
bool HasCertificateTable(std::span<const std::uint8_t> file, const Image& image);

// Removes the certificate table, which must be what follows the image at the
// end of the file, and clears its directory entry. False, with nothing
// changed, for a table elsewhere.
bool RemoveCertificateTable(std::vector<std::uint8_t>& file, const Image& image);

}  // namespace brisk::pe
