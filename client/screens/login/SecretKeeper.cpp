// The saved-password keeper over the platform's secret service.
#include "screens/login/SecretKeeper.h"

#include "platform/secret_service.h"

namespace tavrin::screens {
namespace {

class SecretServiceKeeper final : public storage::PasswordKeeper {
 public:
  bool store(std::u16string_view account, std::u16string_view password) override {
    return platform::SecretService::store(account, password);
  }
  std::optional<std::u16string> lookup(std::u16string_view account) override {
    return platform::SecretService::lookup(account);
  }
};

}  // namespace

storage::PasswordKeeper* saved_password_keeper() {
  static SecretServiceKeeper keeper;
  return platform::SecretService::available() ? &keeper : nullptr;
}

}  // namespace tavrin::screens
