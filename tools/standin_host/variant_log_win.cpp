#include "variant_log_win.h"

#include <cstdio>

#include "standin_state_win.h"

namespace brisk::standin {

namespace {

const char* TypeName(VARTYPE type) {
  switch (type) {
    case VT_EMPTY:
      return "empty";
    case VT_NULL:
      return "null";
    case VT_I2:
      return "i2";
    case VT_I4:
      return "i4";
    case VT_R4:
      return "r4";
    case VT_R8:
      return "r8";
    case VT_CY:
      return "cy";
    case VT_DATE:
      return "date";
    case VT_BSTR:
      return "bstr";
    case VT_DISPATCH:
      return "dispatch";
    case VT_ERROR:
      return "error";
    case VT_BOOL:
      return "bool";
    case VT_VARIANT:
      return "variant";
    case VT_UNKNOWN:
      return "unknown";
    case VT_I1:
      return "i1";
    case VT_UI1:
      return "ui1";
    case VT_UI2:
      return "ui2";
    case VT_UI4:
      return "ui4";
    case VT_INT:
      return "int";
    case VT_UINT:
      return "uint";
    default:
      return nullptr;
  }
}

std::string TypeText(VARTYPE type) {
  if (const char* name = TypeName(type & VT_TYPEMASK); name && (type & ~VT_TYPEMASK) == 0) {
    return name;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(type));
  return text;
}

}  // namespace

json::Json DescribeVariant(const VARIANT& value) {
  json::Json out = {{"vt", TypeText(value.vt)}};
  switch (value.vt) {
    case VT_I1:
      out["value"] = static_cast<int>(value.cVal);
      break;
    case VT_I2:
      out["value"] = value.iVal;
      break;
    case VT_I4:
      out["value"] = value.lVal;
      break;
    case VT_INT:
      out["value"] = value.intVal;
      break;
    case VT_UI1:
      out["value"] = value.bVal;
      break;
    case VT_UI2:
      out["value"] = value.uiVal;
      break;
    case VT_UI4:
      out["value"] = value.ulVal;
      break;
    case VT_UINT:
      out["value"] = value.uintVal;
      break;
    case VT_BOOL:
      out["value"] = value.boolVal;
      break;
    case VT_R4:
      out["value"] = static_cast<double>(value.fltVal);
      break;
    case VT_R8:
      out["value"] = value.dblVal;
      break;
    case VT_DATE:
      out["value"] = value.date;
      break;
    case VT_CY:
      out["value"] = value.cyVal.int64;
      break;
    case VT_ERROR:
      out["value"] = HexCode(static_cast<std::uint32_t>(value.scode));
      break;
    case VT_BSTR:
      if (value.bstrVal == nullptr) {
        out["value"] = nullptr;
      } else {
        out["value"] = LogText(std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal)));
      }
      break;
    case VT_DISPATCH:
      out["value"] = value.pdispVal != nullptr;
      break;
    case VT_UNKNOWN:
      out["value"] = value.punkVal != nullptr;
      break;
    case VT_VARIANT | VT_BYREF:
      if (value.pvarVal != nullptr) out["value"] = DescribeVariant(*value.pvarVal);
      break;
    default:
      break;
  }
  return out;
}

json::Json DescribeArguments(const DISPPARAMS* params) {
  json::Json arguments = json::Json::array();
  if (params != nullptr && params->rgvarg != nullptr) {
    for (UINT i = params->cArgs; i-- > 0;) arguments.push_back(DescribeVariant(params->rgvarg[i]));
  }
  return arguments;
}

json::Json DescribeNamedArguments(const DISPPARAMS* params) {
  json::Json named = json::Json::array();
  if (params != nullptr && params->rgdispidNamedArgs != nullptr) {
    for (UINT i = 0; i < params->cNamedArgs; ++i) named.push_back(params->rgdispidNamedArgs[i]);
  }
  return named;
}

std::string HexCode(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string DescribeInvokeKind(WORD flags) {
  std::string kind;
  const std::pair<WORD, const char*> names[] = {{DISPATCH_METHOD, "method"},
                                                {DISPATCH_PROPERTYGET, "get"},
                                                {DISPATCH_PROPERTYPUT, "put"},
                                                {DISPATCH_PROPERTYPUTREF, "putref"}};
  for (const auto& [flag, name] : names) {
    if (!(flags & flag)) continue;
    if (!kind.empty()) kind += '|';
    kind += name;
  }
  return kind.empty() ? "none" : kind;
}

}  // namespace brisk::standin
