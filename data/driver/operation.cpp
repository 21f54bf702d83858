#include "data/driver/operation.h"

namespace korvex::driver {

namespace {

constexpr const char* kNames[kLastOperation + 1] = {
    "(0)",            "ADD",          "BOF",           "BUILDfile",     "APPEND",
    "BUILDdyn",       "BUILDkey",     "CLOSE",         "COMMIT",        "COPY",
    "CREATE",         "DELETE",       "DUPLICATE",     "EMPTY",         "EOF",
    "GETfilekey",     "GETfileptr",   "GETkeyptr",     "HOLDfile",      "HOLDfilesec",
    "LOCKfile",       "LOCKfilesec",  "LOGOUT",        "NAME",          "NEXT",
    "OPEN",           "PACK",         "POINTERfile",   "POINTERkey",    "FLUSH",
    "PUT",            "PREVIOUS",     "RECORDSfile",   "RECORDSkey",    "BUILDdynfilter",
    "(35)",           "RELEASE",      "REMOVE",        "RENAME",        "(39)",
    "ROLLBACK",       "SETfile",      "SETfilekey",    "SETfileptr",    "SETkey",
    "SETkeykey",      "SETkeyptr",    "SETkeykeyptr",  "SHARE",         "SKIP",
    "UNLOCK",         "ADDfilelen",   "BYTES",         "GETfileptrlen", "PUTfileptr",
    "PUTfileptrlen",  "STREAM",       "DUPLICATEkey",  "WATCH",         "APPENDlen",
    "SEND",           "POSITIONfile", "POSITIONkey",   "RESETfile",     "RESETkey",
    "NOMEMO",         "REGETfile",    "REGETkey",      "NULL",          "SETNULL",
    "SETNONULL",      "SET_PROPERTY", "GET_PROPERTY",  "QUERY_KEY",     "QUERY_VIEW",
    "BLOB_YIELD",     "BLOB_TAKE",    "BLOB_SIZE",     "BLOB_GET_PROP", "BLOB_SET_PROP",
    "BUFFER",         "SETview",      "CLEAR",         "RESETviewfile", "BUILDevent",
    "SETPROPERTYkey", "GETPROPERTYkey", "Internal",    "DO_PROPERTY",   "DOPROPERTYkey",
    "DOPROPERTYblob", "Internal",     "INVIEW",        "ENDVIEW",       "Internal",
    "COUNTRECORDS",
};

}  // namespace

const char* OperationName(int code) {
  if (code < 0 || code > kLastOperation) return "";
  return kNames[code];
}

bool IsKeyedOperation(int code) {
  switch (code) {
    case kOpBuildDyn:
    case kOpBuildDynFilter:
    case kOpBuildKey:
    case kOpDuplicateKey:
    case kOpGetFileKey:
    case kOpGetKeyPtr:
    case kOpPointerKey:
    case kOpPositionKey:
    case kOpRecordsKey:
    case kOpRegetKey:
    case kOpResetKey:
    case kOpSetFileKey:
    case kOpSetKey:
    case kOpSetKeyKey:
    case kOpSetKeyKeyPtr:
    case kOpSetKeyPtr:
    case kOpSetPropertyKey:
    case kOpGetPropertyKey:
    case kOpDoPropertyKey:
      return true;
    default:
      return false;
  }
}

bool IsUntracedOperation(int code) { return code == kOpInternal87 || code == kOpInternal91; }

bool TracesRecord(int code) {
  switch (code) {
    case kOpAdd:
    case kOpAddFileLen:
    case kOpAppend:
    case kOpAppendLen:
    case kOpDelete:
    case kOpGetFileKey:
    case kOpGetFilePtrLen:
    case kOpGetFilePtr:
    case kOpGetKeyPtr:
    case kOpNext:
    case kOpPrevious:
    case kOpPut:
    case kOpPutFilePtr:
    case kOpPutFilePtrLen:
    case kOpRegetFile:
    case kOpRegetKey:
      return true;
    default:
      return false;
  }
}

bool TracesKeyFields(int code) { return code == kOpSetKeyKey || code == kOpSetKeyKeyPtr; }

}  // namespace korvex::driver
