// The auxiliary workbook of the project's own builds and its first contact
// with the add-in. When the host opens it, its open handler loads
// "<the workbook's folder>\briskstub.dll" with LoadLibraryA, calls the
// export DummyFunc9(1170, the host's application object, 0), ignores every
// error and closes the workbook again.
//
// The file is the magic text below followed by anything (ignored): a format
// that no spreadsheet program opens by mistake and that the builder writes as
// payload kAuxWorkbookResource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace brisk {

inline constexpr std::string_view kAuxWorkbookMagic = "BRISK-AUX-WORKBOOK 1\n";

// The add-in's file name in the workbook's folder; the launcher writes the
// add-in under encoded string 48, which must be the same name.
inline constexpr std::string_view kAuxAddinFileName = "briskstub.dll";
inline constexpr std::string_view kAddinEntryName = "DummyFunc9";
// First argument of the entry: WM_USER + 146.
constexpr std::int32_t kFirstContactCode = 1170;

// The entry's signature: a 32-bit code, the application object (IDispatch*)
// and 0, the last two pointer-sized; __stdcall in a 32-bit process. It
// returns a 32-bit value that the open handler ignores.
#if defined(_WIN32) && !defined(_WIN64)
#define BRISK_ADDIN_CALL __stdcall
#else
#define BRISK_ADDIN_CALL
#endif
using AddinEntry = std::int32_t(BRISK_ADDIN_CALL*)(std::int32_t code, void* application, std::intptr_t reserved);

bool IsAuxWorkbook(const std::uint8_t* data, std::size_t size);

// A complete auxiliary workbook.
std::vector<std::uint8_t> MakeAuxWorkbook();

}  // namespace brisk
