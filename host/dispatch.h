// Late-bound automation: one IDispatch::Invoke per call, addressed by
// dispatch id, never by name. Every failure raises _com_error.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <comdef.h>

#include <cstdarg>
#include <string>

namespace brisk {

// Flag on a parameter type: the argument is optional. A trailing optional
// VT_VARIANT argument that holds VT_ERROR/DISP_E_PARAMNOTFOUND is not passed.
constexpr VARTYPE kVtOptional = 0x0800;

// Invokes `dispid` on `object` with `flags` (DISPATCH_METHOD,
// DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT or DISPATCH_PROPERTYPUTREF).
//
// `paramTypes` is a zero-terminated list of argument types in declaration
// order (null for none); the arguments follow in the same order:
//   VT_I2, VT_I4, VT_INT, VT_UI1, VT_UI2, VT_UI4, VT_UINT, VT_ERROR: int/long
//   VT_BOOL: int, any non-zero value sent as VARIANT_TRUE (-1)
//   VT_R4, VT_R8, VT_DATE: double;  VT_CY: CY
//   VT_BSTR: BSTR;  VT_DISPATCH: IDispatch*;  VT_UNKNOWN: IUnknown*
//   VT_VARIANT: const VARIANT*, whose whole variant is passed
//   any type with VT_BYREF, or with VT_ARRAY: the pointer given
// The arguments are borrowed: nothing given is freed or released here.
//
// `resultType` is VT_EMPTY for no result; otherwise the returned variant is
// converted to it (except for VT_VARIANT) and stored at `result`:
//   VT_BSTR: BSTR (caller frees);  VT_DISPATCH, VT_UNKNOWN: reference
//   (caller releases);  VT_VARIANT: VARIANT (caller clears);  VT_BOOL, VT_I2:
//   16 bits;  VT_I4, VT_ERROR, VT_INT: 32 bits;  VT_R4, VT_R8, VT_DATE, VT_CY
//   by value;  VT_UI1: 8 bits.
//
// A server exception (DISP_E_EXCEPTION) becomes an error-information object
// carried by the _com_error, and its HRESULT is derived from the exception's
// code (0x80040200 + wCode for a 16-bit code below 0xFE00).
void DispatchCall(IDispatch* object, DISPID dispid, WORD flags, VARTYPE resultType, void* result,
                  const VARTYPE* paramTypes, ...);
void DispatchCallV(IDispatch* object, DISPID dispid, WORD flags, VARTYPE resultType, void* result,
                   const VARTYPE* paramTypes, va_list args);

// Property get without arguments.
void DispatchGet(IDispatch* object, DISPID dispid, VARTYPE resultType, void* result);

// Property put of one value of `valueType` (passed as DispatchCall takes it);
// a put by reference for VT_DISPATCH and VT_UNKNOWN.
void DispatchPut(IDispatch* object, DISPID dispid, VARTYPE valueType, ...);

// The texts of the error information that a _com_error carries; empty when
// it carries none. Read through IErrorInfo, since the C runtime here has no
// _bstr_t support code behind _com_error::Description().
std::wstring ComErrorDescription(const _com_error& error);
std::wstring ComErrorSource(const _com_error& error);

}  // namespace brisk
