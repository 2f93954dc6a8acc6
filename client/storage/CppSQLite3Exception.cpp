#include "storage/CppSQLite3Exception.h"

#include <sqlite3.h>

#include "storage/Text16.h"

namespace tavrin::storage {

CppSQLite3Exception::CppSQLite3Exception(int errorCode, const char16_t* errorMessage,
                                         bool messageFromSqlite)
    : code_(errorCode) {
  // "%s[%d]: %s". The device formatted into a buffer of the message's length
  // plus 50 characters, which always holds the name and the code, so building
  // the text whole gives the same result.
  message_ = errorCodeName(errorCode);
  message_ += u'[';
  message_ += decimal16(errorCode);
  message_ += u"]: ";
  if (errorMessage) message_ += errorMessage;
  utf8_ = utf8FromUtf16(message_);
  if (messageFromSqlite && errorMessage) sqlite3_free(const_cast<char16_t*>(errorMessage));
}

CppSQLite3Exception::~CppSQLite3Exception() = default;

const char16_t* CppSQLite3Exception::errorCodeName(int code) noexcept {
  switch (code) {
    case SQLITE_OK:
      return u"SQLITE_OK";
    case SQLITE_ERROR:
      return u"SQLITE_ERROR";
    case SQLITE_INTERNAL:
      return u"SQLITE_INTERNAL";
    case SQLITE_PERM:
      return u"SQLITE_PERM";
    case SQLITE_ABORT:
      return u"SQLITE_ABORT";
    case SQLITE_BUSY:
      return u"SQLITE_BUSY";
    case SQLITE_LOCKED:
      return u"SQLITE_LOCKED";
    case SQLITE_NOMEM:
      return u"SQLITE_NOMEM";
    case SQLITE_READONLY:
      return u"SQLITE_READONLY";
    case SQLITE_INTERRUPT:
      return u"SQLITE_INTERRUPT";
    case SQLITE_IOERR:
      return u"SQLITE_IOERR";
    case SQLITE_CORRUPT:
      return u"SQLITE_CORRUPT";
    case SQLITE_NOTFOUND:
      return u"SQLITE_NOTFOUND";
    case SQLITE_FULL:
      return u"SQLITE_FULL";
    case SQLITE_CANTOPEN:
      return u"SQLITE_CANTOPEN";
    case SQLITE_PROTOCOL:
      return u"SQLITE_PROTOCOL";
    case SQLITE_EMPTY:
      return u"SQLITE_EMPTY";
    case SQLITE_SCHEMA:
      return u"SQLITE_SCHEMA";
    case SQLITE_TOOBIG:
      return u"SQLITE_TOOBIG";
    case SQLITE_CONSTRAINT:
      return u"SQLITE_CONSTRAINT";
    case SQLITE_MISMATCH:
      return u"SQLITE_MISMATCH";
    case SQLITE_MISUSE:
      return u"SQLITE_MISUSE";
    case SQLITE_NOLFS:
      return u"SQLITE_NOLFS";
    case SQLITE_AUTH:
      return u"SQLITE_AUTH";
    case SQLITE_FORMAT:
      return u"SQLITE_FORMAT";
    case SQLITE_RANGE:
      return u"SQLITE_RANGE";
    case SQLITE_ROW:
      return u"SQLITE_ROW";
    case SQLITE_DONE:
      return u"SQLITE_DONE";
    case CPPSQLITE_ERROR:
      return u"CPPSQLITE_ERROR";
    default:
      return u"UNKNOWN_ERROR";
  }
}

}  // namespace tavrin::storage
