// The log form of variants and calls.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace brisk::standin {

// {"vt":"i4","value":5}; strings as text, objects as whether they are set,
// error codes in hexadecimal, unknown types by their number.
std::string DescribeVariant(const VARIANT& value);

// The arguments in call order (the reverse of the argument block) and the
// ids of the named ones.
std::string DescribeArguments(const DISPPARAMS* params);
std::string DescribeNamedArguments(const DISPPARAMS* params);

// "method", "get", "put", "putref", joined by '|' when several are set.
std::string DescribeInvokeKind(WORD flags);

}  // namespace brisk::standin
