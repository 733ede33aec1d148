#include "com/type_library.h"

#include "vendrel/engine/vendrel12.h"

namespace vendrel::server {

namespace {

using com::InterfaceInfo;
using com::MemberInfo;
using com::MemberKind;
using com::ParameterInfo;
using vendrel12::_QueryDataSource;
using vendrel12::_RecordsetCollection;
using vendrel12::_Vendrel;

// The default interfaces of the classes: dual, hidden from object browsers,
// not extensible at run time, automation types only.
constexpr unsigned kDefaultInterfaceFlags = com::kInterfaceDual | com::kInterfaceHidden |
                                            com::kInterfaceNonExtensible | com::kInterfaceOleAutomation;

constexpr ParameterInfo kAddParameters[] = {
    {"ValidRecordset", "Recordset", true, false, ""},
    {"RecordsetName", "String", true, false, ""},
    {"OptimizedRecordset", "Boolean", true, true, "False"},
};
constexpr ParameterInfo kIndexParameter[] = {{"Index", "Variant", true, false, ""}};

constexpr MemberInfo kRecordsetCollectionMembers[] = {
    {"Add", MemberKind::Method, _RecordsetCollection::kAdd, kAddParameters, "", false, ""},
    {"Remove", MemberKind::Method, _RecordsetCollection::kRemove, kIndexParameter, "", false,
     "Removes an ADO Recordset from the Recordset collection."},
    {"Item", MemberKind::Method, _RecordsetCollection::kItem, kIndexParameter, "Recordset", false,
     "References an ADO Recordset in the Recordset collection."},
    {"Count", MemberKind::PropertyGet, _RecordsetCollection::kCount, {}, "Long", false,
     "Returns a count of the number of ADO Recordset items in the Recordset colletion. "},
    {"CollectionRecordset", MemberKind::PropertyGet, _RecordsetCollection::kCollectionRecordset, {}, "Collection",
     true, ""},
    {"rsNameCollection", MemberKind::PropertyGet, _RecordsetCollection::kRsNameCollection, {}, "Collection", true,
     ""},
};

constexpr MemberInfo kQueryDataSourceMembers[] = {
    {"RecordsetCollection", MemberKind::PropertyGet, _QueryDataSource::kRecordsetCollection, {},
     "RecordsetCollection", false, "Recordset collection contains ADO Recordsets with which to base a query on."},
    {"EmptyRecordsetCollection", MemberKind::Method, _QueryDataSource::kEmptyRecordsetCollection, {}, "", false,
     "Remove all ADO Recordsets from the Recordset collection."},
};

constexpr ParameterInfo kExecuteParameters[] = {
    {"DataSource", "QueryDataSource", true, false, ""},
    {"SQL", "String", true, false, ""},
    {"CursorType", "CursorTypeEnum", true, false, ""},
    {"LockType", "LockTypeEnum", true, false, ""},
    {"OptimizeRecordset", "Boolean", true, true, "False"},
    {"RecordsetName", "String", true, true, "\"\""},
    {"TempFileFolder", "String", true, true, "\"\""},
    {"AltQuoteMark", "String", true, true, "\"\""},
};

constexpr MemberInfo kVendrelMembers[] = {
    {"Execute", MemberKind::Method, _Vendrel::kExecute, kExecuteParameters, "Recordset", false,
     "Executes the query based on declared properties and returns a disconnected ADO Recordset representing the "
     "results"},
};

}  // namespace

const InterfaceInfo kRecordsetCollectionInterface{"_RecordsetCollection", _RecordsetCollection::Iid,
                                                  kDefaultInterfaceFlags, kRecordsetCollectionMembers, ""};
const InterfaceInfo kQueryDataSourceInterface{"_QueryDataSource", _QueryDataSource::Iid, kDefaultInterfaceFlags,
                                              kQueryDataSourceMembers, ""};
const InterfaceInfo kVendrelInterface{"_Vendrel", _Vendrel::Iid, kDefaultInterfaceFlags, kVendrelMembers, ""};

namespace {

const com::ClassInfo kClasses[] = {
    {"Vendrel", vendrel12::kVendrelClassId, true, vendrel12::kVendrelProgId, "Apartment", &kVendrelInterface, ""},
    {"QueryDataSource", vendrel12::kQueryDataSourceClassId, true, vendrel12::kQueryDataSourceProgId, "Apartment",
     &kQueryDataSourceInterface, ""},
    {"RecordsetCollection", vendrel12::kRecordsetCollectionClassId, false, "", "Apartment",
     &kRecordsetCollectionInterface, ""},
};

const InterfaceInfo* const kInterfaces[] = {&kVendrelInterface, &kQueryDataSourceInterface,
                                            &kRecordsetCollectionInterface};

const com::TypeLibraryInfo kTypeLibrary{vendrel12::kLibraryName,         vendrel12::kLibraryId,
                                        vendrel12::kLibraryMajorVersion, vendrel12::kLibraryMinorVersion,
                                        vendrel12::kLibraryLocale,       "Vendrel 1.2",
                                        kClasses,                        kInterfaces};

}  // namespace

const com::TypeLibraryInfo& TypeLibrary() { return kTypeLibrary; }

}  // namespace vendrel::server
