#include "vendrel/dataaccess/com/hresult.h"

#include <cstdint>

#include "vendrel/dataaccess/error.h"

namespace vendrel::com {

namespace {
constexpr uint32_t kControlFacility = 0x800A0000;
constexpr long kLargestPlainNumber = 0xFFFF;
}  // namespace

HRESULT HResultFromErrorNumber(long number) {
  if (number >= 1 && number <= kLargestPlainNumber) return MakeHResult(kControlFacility | static_cast<uint32_t>(number));
  if (number < 0 && number >= INT32_MIN) return static_cast<HRESULT>(number);
  if (number >= 0x80000000L && number <= 0xFFFFFFFFL) return MakeHResult(static_cast<uint32_t>(number));
  return E_FAIL;
}

long ErrorNumberFromHResult(HRESULT hr) {
  const auto bits = static_cast<uint32_t>(hr);
  if ((bits & 0xFFFF0000u) == kControlFacility && (bits & 0xFFFFu) != 0) return static_cast<long>(bits & 0xFFFFu);
  return hr;
}

std::string HResultText(HRESULT hr) {
  switch (hr) {
    case S_OK: return "The operation completed successfully.";
    case E_NOTIMPL: return "Not implemented";
    case E_NOINTERFACE: return "No such interface supported";
    case E_POINTER: return "Invalid pointer";
    case E_FAIL: return "Unspecified error";
    case E_UNEXPECTED: return "Catastrophic failure";
    case E_OUTOFMEMORY: return "Not enough memory resources are available to complete this operation.";
    case E_INVALIDARG: return "The parameter is incorrect.";
    case CLASS_E_NOAGGREGATION: return "Class does not support aggregation (or class object is remote)";
    case CLASS_E_CLASSNOTAVAILABLE: return "ClassFactory cannot supply requested class";
    case REGDB_E_READREGDB: return "Could not read key from registry";
    case REGDB_E_WRITEREGDB: return "Could not write key to registry";
    case REGDB_E_CLASSNOTREG: return "Class not registered";
    case CO_E_CLASSSTRING: return "Invalid class string";
    case CO_E_ERRORINDLL: return "Error in the DLL";
    case SELFREG_E_CLASS: return "Error registering or unregistering the classes of a library";
    case E_MODULE_NOT_FOUND: return "The specified module could not be found.";
    case E_PROCEDURE_NOT_FOUND: return "The specified procedure could not be found.";
    case RPC_E_WRONG_THREAD: return "The application called an interface that was marshalled for a different thread.";
    case DISP_E_MEMBERNOTFOUND: return "Member not found.";
    case DISP_E_PARAMNOTFOUND: return "Parameter not found.";
    case DISP_E_TYPEMISMATCH: return "Type mismatch.";
    case DISP_E_UNKNOWNNAME: return "Unknown name.";
    case DISP_E_BADINDEX: return "Invalid index.";
    case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters.";
    case DISP_E_PARAMNOTOPTIONAL: return "Parameter not optional.";
    default: break;
  }
  const long number = ErrorNumberFromHResult(hr);
  if (number > 0) return std::string(PlatformErrorText(number));
  return "";
}

}  // namespace vendrel::com
