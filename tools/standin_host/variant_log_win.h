// The log form of variants and calls.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>

#include "tools/json/json_io.h"

namespace brisk::standin {

// {"vt":"i4","value":5}; strings as text, objects as whether they are set,
// error codes in hexadecimal, unknown types by their number.
json::Json DescribeVariant(const VARIANT& value);

// The arguments in call order (the reverse of the argument block) and the
// ids of the named ones, as arrays.
json::Json DescribeArguments(const DISPPARAMS* params);
json::Json DescribeNamedArguments(const DISPPARAMS* params);

// An HRESULT or SCODE as the log writes it: "0x" and eight upper-case
// hexadecimal digits.
std::string HexCode(std::uint32_t value);

// "method", "get", "put", "putref", joined by '|' when several are set.
std::string DescribeInvokeKind(WORD flags);

}  // namespace brisk::standin
