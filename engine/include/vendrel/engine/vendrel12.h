#pragma once
// The type library Vendrel12, version 2.0, as a header: the identifiers of
// the library, its classes and interfaces, and the three default dual
// interfaces with their slots and dispatch identifiers. A client builds
// against this header and creates the classes at run time through the
// component runtime; it links nothing of the library itself.
//
// Every parameter is passed by reference (the caller's variable, which the
// library reads and leaves unchanged); a result comes back through the last
// pointer. For an optional parameter a null pointer means "left out".
// Recordsets and lists are the data-access objects of vendrel/dataaccess,
// shared with the library, with their reference counts.

#include <cstdint>
#include <string>
#include <string_view>

#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/com/dispatch.h"
#include "vendrel/dataaccess/com/guid.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/object.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::vendrel12 {

using com::DispId;
using com::HRESULT;
using com::VARIANT_BOOL;

inline constexpr std::string_view kLibraryName = "Vendrel12";
inline constexpr com::Guid kLibraryId = com::MakeGuid("{8184C065-BAEC-478C-ACD8-7F757B474FF0}");
inline constexpr uint16_t kLibraryMajorVersion = 2;
inline constexpr uint16_t kLibraryMinorVersion = 0;
inline constexpr uint32_t kLibraryLocale = 1033;

inline constexpr com::Guid kVendrelClassId = com::MakeGuid("{0EBCC7BB-0F80-4265-B443-33E2F7A10B7D}");
inline constexpr com::Guid kQueryDataSourceClassId = com::MakeGuid("{33DAC1E2-217F-44DD-965A-FBF7AFC13DE5}");
// Not creatable: reached through QueryDataSource.RecordsetCollection only.
inline constexpr com::Guid kRecordsetCollectionClassId = com::MakeGuid("{A46125FA-6BA8-4982-A98F-A2AB9DEDF8D2}");

inline constexpr std::string_view kVendrelProgId = "Vendrel12.Vendrel";
inline constexpr std::string_view kQueryDataSourceProgId = "Vendrel12.QueryDataSource";

// Default interface of RecordsetCollection.
class _RecordsetCollection : public com::IDispatch {
 public:
  using Base = com::IDispatch;
  static constexpr com::Guid Iid = com::MakeGuid("{8CC0714F-CFFD-4C92-BE16-EDF056C506A0}");

  static constexpr DispId kAdd = 0x60030003;
  static constexpr DispId kRemove = 0x60030004;
  static constexpr DispId kItem = 0x60030005;
  static constexpr DispId kCount = 0x68030002;
  static constexpr DispId kCollectionRecordset = 0x68030001;  // hidden
  static constexpr DispId kRsNameCollection = 0x68030000;     // hidden

  // OptimizedRecordset optional, default False.
  virtual HRESULT Add(Ref<Recordset>* ValidRecordset, std::string* RecordsetName,
                      VARIANT_BOOL* OptimizedRecordset) = 0;
  virtual HRESULT Remove(Variant* Index) = 0;
  virtual HRESULT Item(Variant* Index, Ref<Recordset>* result) = 0;
  virtual HRESULT get_Count(int32_t* result) = 0;
  virtual HRESULT get_CollectionRecordset(Ref<Collection>* result) = 0;
  virtual HRESULT get_rsNameCollection(Ref<Collection>* result) = 0;

 protected:
  ~_RecordsetCollection() = default;
};

// Default interface of QueryDataSource.
class _QueryDataSource : public com::IDispatch {
 public:
  using Base = com::IDispatch;
  static constexpr com::Guid Iid = com::MakeGuid("{10E71A9E-8EC5-4F60-80AD-4C71D4EF4999}");

  static constexpr DispId kRecordsetCollection = 0x68030002;
  static constexpr DispId kEmptyRecordsetCollection = 0x60030004;

  virtual HRESULT get_RecordsetCollection(Ref<_RecordsetCollection>* result) = 0;
  virtual HRESULT EmptyRecordsetCollection() = 0;

 protected:
  ~_QueryDataSource() = default;
};

// Default interface of Vendrel.
class _Vendrel : public com::IDispatch {
 public:
  using Base = com::IDispatch;
  static constexpr com::Guid Iid = com::MakeGuid("{8808930B-301E-4F31-999E-5594C2EC0089}");

  static constexpr DispId kExecute = 0x60030002;

  // OptimizeRecordset (default False), RecordsetName, TempFileFolder and
  // AltQuoteMark (default empty) are optional.
  virtual HRESULT Execute(Ref<_QueryDataSource>* DataSource, std::string* SQL, CursorTypeEnum* CursorType,
                          LockTypeEnum* LockType, VARIANT_BOOL* OptimizeRecordset, std::string* RecordsetName,
                          std::string* TempFileFolder, std::string* AltQuoteMark, Ref<Recordset>* result) = 0;

 protected:
  ~_Vendrel() = default;
};

}  // namespace vendrel::vendrel12
