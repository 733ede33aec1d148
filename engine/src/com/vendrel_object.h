#pragma once
// The component class Vendrel: the query object behind its default
// interface. Errors of Execute reach the client as the component's HRESULT
// (0x80040000 + n) with source "Vendrel" and the prefixed description in the
// error information; releasing the last reference runs the query object's
// release steps.

#include "vendrel/dataaccess/com/server.h"
#include "vendrel/engine/vendrel.h"
#include "vendrel/engine/vendrel12.h"

namespace vendrel::server {

class VendrelObject final : public com::DispatchObject<vendrel12::_Vendrel> {
 public:
  // Raises the query object's creation error (1010) when its folder cannot be made.
  static Ref<VendrelObject> Create(com::ServerModule& module);
  VendrelObject(com::ServerModule& module, Ref<vendrel::Vendrel> query);

  com::HRESULT Execute(Ref<vendrel12::_QueryDataSource>* DataSource, std::string* SQL, CursorTypeEnum* CursorType,
                       LockTypeEnum* LockType, com::VARIANT_BOOL* OptimizeRecordset, std::string* RecordsetName,
                       std::string* TempFileFolder, std::string* AltQuoteMark, Ref<Recordset>* result) override;
  com::HRESULT Invoke(com::DispId member, uint16_t flags, std::span<Variant* const> arguments,
                      Variant* result) override;

 private:
  Ref<vendrel::Vendrel> query_;
};

}  // namespace vendrel::server
