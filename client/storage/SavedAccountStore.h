// Saved accounts of the login screen: table TavrinPsd (AccountID, AccountPsd),
// one row per account number. With a password keeper (the desktop's secret
// service) the password is kept there and the row holds kKeptMarker in its
// place; without one, or when the keeper refuses, the row holds the password
// as typed, as it always did. Each call is one storage
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

// Where passwords go instead of the table. Implemented over the platform's
// secret service; tests bring their own.
class PasswordKeeper {
 public:
  virtual ~PasswordKeeper() = default;
  virtual bool store(std::u16string_view account, std::u16string_view password) = 0;
  virtual std::optional<std::u16string> lookup(std::u16string_view account) = 0;
};

class SavedAccountStore {
 public:
  explicit SavedAccountStore(std::filesystem::path databasePath, PasswordKeeper* keeper = nullptr);

  // Every row in stored order; nullopt when the table was never created (the
  // login screen then starts empty and reads nothing else). A marked row
  // reads its password from the keeper: empty when the keeper has none or
  // there is no keeper (the user types it once more).
  [[nodiscard]] std::optional<std::vector<SavedAccount>> load() const;
  // Creates the table when missing; inserts the account, or updates the
  // password of the row that holds it: the marker when the keeper took the
  // password, else the password.
  void save(std::u16string_view account, std::u16string_view password) const;

  // What the login screen pre-fills from load(): the account of the last row,
  // and the password of the last row whose account has exactly 9 characters
  // (8-digit and 11-digit accounts never get their password back).
  static SavedAccount prefill(const std::vector<SavedAccount>& rows);

  static constexpr char16_t kTable[] = u"TavrinPsd";
  // What a row holds for a password kept by the keeper: a control character
  // no password box lets a person type, so it is never a real password.
  static constexpr std::u16string_view kKeptMarker = u"\u0001kept";

 private:
  std::filesystem::path path_;
  PasswordKeeper* keeper_;
};

}  // namespace tavrin::storage
