// The SIP-C proxy address saved after each successful sign-in: table
// TavrinServeAddr (ServeName, ServeAddr), one row appended per save, the
// name always "深圳"; the login screen uses the last row. Each call is one
// storage operation on the history database at the given path and throws
// CppSQLite3Exception when the file fails. User-interface thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::storage {

class ServerAddressStore {
 public:
  explicit ServerAddressStore(std::filesystem::path databasePath);

  // ServeAddr of the last row; nullopt when the table is missing or empty.
  [[nodiscard]] std::optional<std::u16string> loadLast() const;
  // Creates the table when missing and appends ("深圳", address).
  void append(std::u16string_view address) const;

  static constexpr char16_t kTable[] = u"TavrinServeAddr";
  static constexpr char16_t kServeName[] = u"深圳";

 private:
  std::filesystem::path path_;
};

}  // namespace tavrin::storage
