// Saved accounts of the login screen: table TavrinPsd (AccountID, AccountPsd),
// one row per account number, the password as typed. Each call is one storage
// operation (open, work, close) on the history database at the given path and
// throws CppSQLite3Exception when the file fails; wrap calls in tryStorage
// where the caller must go on. User-interface thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::storage {

struct SavedAccount {
  std::u16string account;
  std::u16string password;
  bool operator==(const SavedAccount&) const = default;
};

class SavedAccountStore {
 public:
  explicit SavedAccountStore(std::filesystem::path databasePath);

  // Every row in stored order; nullopt when the table was never created (the
  // login screen then starts empty and reads nothing else).
  [[nodiscard]] std::optional<std::vector<SavedAccount>> load() const;
  // Creates the table when missing; inserts the account, or updates the
  // password of the row that holds it.
  void save(std::u16string_view account, std::u16string_view password) const;

  // What the login screen pre-fills from load(): the account of the last row,
  // and the password of the last row whose account has exactly 9 characters
  // (8-digit and 11-digit accounts never get their password back).
  static SavedAccount prefill(const std::vector<SavedAccount>& rows);

  static constexpr char16_t kTable[] = u"TavrinPsd";

 private:
  std::filesystem::path path_;
};

}  // namespace tavrin::storage
