#pragma once
// Result codes of component calls, with the platform's numbers and texts.

#include <cstdint>
#include <string>

namespace vendrel::com {

using HRESULT = int32_t;

constexpr HRESULT MakeHResult(uint32_t bits) { return static_cast<HRESULT>(bits); }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = MakeHResult(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = MakeHResult(0x80040151);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHResult(0x80040201);
inline constexpr HRESULT E_MODULE_NOT_FOUND = MakeHResult(0x8007007E);
inline constexpr HRESULT E_PROCEDURE_NOT_FOUND = MakeHResult(0x8007007F);

inline constexpr HRESULT RPC_E_WRONG_THREAD = MakeHResult(0x8001010E);

inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHResult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHResult(0x8002000F);

// A plain error number n (1 to 65535, as the runtime and the collection
// raise them) travels as the HRESULT 0x800A0000 + n, the platform's
// "control" facility; a negative number already is an HRESULT and travels
// as it is (the component's 0x80040000 + n); the unsigned spelling of an
// HRESULT (0x80000000 to 0xFFFFFFFF written as a positive number) is taken
// as that HRESULT. Any other number becomes E_FAIL; its description still
// travels in the error information.
HRESULT HResultFromErrorNumber(long number);
// The reverse, for a client: 0x800A0000 + n gives n back, any other
// HRESULT is its own (negative) number.
long ErrorNumberFromHResult(HRESULT hr);

// The platform's text for a result code ("" when it has none), for a failure
// that comes without error information.
std::string HResultText(HRESULT hr);

}  // namespace vendrel::com
