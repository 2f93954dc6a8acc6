// The one error type of the history database layer. Every SQLite failure and
// every misuse of CppSQLite3Database / CppSQLite3Query is thrown as this, with
// a message "NAME[code]: text" built when it is constructed. The exception
// owns its message; it may be copied and caught on any thread.
#pragma once

#include <exception>
#include <string>

namespace tavrin::storage {

// Code of the layer's own errors (misuse, not an SQLite result).
inline constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception : public std::exception {
 public:
  // `errorMessage` may be null (an empty text is used). When
  // `messageFromSqlite` is set and a text is given, that text was allocated by
  // SQLite and is released with sqlite3_free once copied; the layer's own
  // throws always pass it clear, since the connection owns its error texts.
  CppSQLite3Exception(int errorCode, const char16_t* errorMessage, bool messageFromSqlite = false);
  CppSQLite3Exception(const CppSQLite3Exception&) = default;
  CppSQLite3Exception& operator=(const CppSQLite3Exception&) = default;
  ~CppSQLite3Exception() override;

  int errorCode() const noexcept { return code_; }
  // The whole formatted message, e.g. u"SQLITE_CANTOPEN[14]: unable to open database file".
  const char16_t* errorMessage() const noexcept { return message_.c_str(); }
  // The same message in UTF-8, for logs and test output.
  const char* what() const noexcept override { return utf8_.c_str(); }

  // Fixed name of an SQLite result code or CPPSQLITE_ERROR; "UNKNOWN_ERROR" otherwise.
  static const char16_t* errorCodeName(int code) noexcept;

 private:
  int code_;
  std::u16string message_;
  std::string utf8_;
};

}  // namespace tavrin::storage
