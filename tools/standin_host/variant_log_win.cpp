#include "variant_log_win.h"

#include <cstdio>

#include "json_line.h"

namespace brisk::standin {

namespace {

const char* TypeName(VARTYPE type) {
  switch (type) {
    case VT_EMPTY: return "empty";
    case VT_NULL: return "null";
    case VT_I2: return "i2";
    case VT_I4: return "i4";
    case VT_R4: return "r4";
    case VT_R8: return "r8";
    case VT_CY: return "cy";
    case VT_DATE: return "date";
    case VT_BSTR: return "bstr";
    case VT_DISPATCH: return "dispatch";
    case VT_ERROR: return "error";
    case VT_BOOL: return "bool";
    case VT_VARIANT: return "variant";
    case VT_UNKNOWN: return "unknown";
    case VT_I1: return "i1";
    case VT_UI1: return "ui1";
    case VT_UI2: return "ui2";
    case VT_UI4: return "ui4";
    case VT_INT: return "int";
    case VT_UINT: return "uint";
    default: return nullptr;
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

std::string DescribeVariant(const VARIANT& value) {
  JsonObject out;
  out.TextUtf8("vt", TypeText(value.vt));
  switch (value.vt) {
    case VT_I1: out.Number("value", value.cVal); break;
    case VT_I2: out.Number("value", value.iVal); break;
    case VT_I4: out.Number("value", value.lVal); break;
    case VT_INT: out.Number("value", value.intVal); break;
    case VT_UI1: out.Number("value", value.bVal); break;
    case VT_UI2: out.Number("value", value.uiVal); break;
    case VT_UI4: out.Number("value", value.ulVal); break;
    case VT_UINT: out.Number("value", value.uintVal); break;
    case VT_BOOL: out.Number("value", value.boolVal); break;
    case VT_R4: out.Real("value", value.fltVal); break;
    case VT_R8: out.Real("value", value.dblVal); break;
    case VT_DATE: out.Real("value", value.date); break;
    case VT_CY: out.Number("value", value.cyVal.int64); break;
    case VT_ERROR: out.Raw("value", JsonHex(static_cast<std::uint32_t>(value.scode))); break;
    case VT_BSTR:
      if (value.bstrVal == nullptr) {
        out.Null("value");
      } else {
        out.Text("value", std::u16string_view(reinterpret_cast<const char16_t*>(value.bstrVal),
                                              SysStringLen(value.bstrVal)));
      }
      break;
    case VT_DISPATCH: out.Boolean("value", value.pdispVal != nullptr); break;
    case VT_UNKNOWN: out.Boolean("value", value.punkVal != nullptr); break;
    case VT_VARIANT | VT_BYREF:
      if (value.pvarVal != nullptr) out.Raw("value", DescribeVariant(*value.pvarVal));
      break;
    default:
      break;
  }
  return out.str();
}

std::string DescribeArguments(const DISPPARAMS* params) {
  JsonArray arguments;
  if (params != nullptr && params->rgvarg != nullptr) {
    for (UINT i = params->cArgs; i-- > 0;) arguments.Add(DescribeVariant(params->rgvarg[i]));
  }
  return arguments.str();
}

std::string DescribeNamedArguments(const DISPPARAMS* params) {
  JsonArray named;
  if (params != nullptr && params->rgdispidNamedArgs != nullptr) {
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
      named.Add(std::to_string(params->rgdispidNamedArgs[i]));
    }
  }
  return named.str();
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
