#pragma once
// The data-access enumerations, with the platform's numbers.

namespace vendrel {

enum DataTypeEnum : int {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adBoolean = 11,
  adVariant = 12,
  adDecimal = 14,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adUnsignedSmallInt = 18,
  adUnsignedInt = 19,
  adBigInt = 20,
  adUnsignedBigInt = 21,
  adGUID = 72,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adDBFileTime = 137,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

enum CursorTypeEnum : int {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3,
};

enum LockTypeEnum : int {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4,
};

enum CursorLocationEnum : int {
  adUseServer = 2,
  adUseClient = 3,
};

enum ObjectStateEnum : int {
  adStateClosed = 0,
  adStateOpen = 1,
};

enum EditModeEnum : int {
  adEditNone = 0,
  adEditInProgress = 1,
  adEditAdd = 2,
};

enum FieldAttributeEnum : int {
  adFldUnspecified = -1,
  adFldUpdatable = 0x4,
  adFldFixed = 0x10,
  adFldIsNullable = 0x20,
  adFldMayBeNull = 0x40,
  adFldLong = 0x80,
};

enum CommandTypeEnum : int {
  adCmdUnspecified = -1,
  adCmdText = 1,
  adCmdTable = 2,
  adCmdTableDirect = 512,  // a whole table as its provider stores it
};

enum ConnectOptionEnum : int {
  adConnectUnspecified = -1,
};

// Whether a field of this type holds text, bytes, or a date, as the engine's data files see it.
constexpr bool IsTextType(int type) {
  return type == adBSTR || type == adVariant || type == adChar || type == adWChar ||
         (type >= adVarChar && type <= adLongVarWChar);
}
constexpr bool IsBinaryType(int type) { return type == adBinary || type == adVarBinary || type == adLongVarBinary; }
constexpr bool IsDateType(int type) {
  return type == adDate || type == adDBDate || type == adDBTime || type == adDBTimeStamp ||
         type == adDBFileTime;
}

}  // namespace vendrel
