// For callers that must go on whatever happens to the history database: runs
// one storage operation and hands back its failure instead of throwing, so a
// chat line is still sent and a dialog still closes when logging fails. The
// caller reports the failure (a notice with errorMessage()) and carries on.
//
//   if (auto failure = tryStorage([&] { log.append(id, line, time); }))
//     showNotice(failure->errorMessage());
#pragma once

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "storage/CppSQLite3Exception.h"

namespace tavrin::storage {

// Runs `operation`; nullopt when it completed, otherwise what it threw, as a
// CppSQLite3Exception (any other exception is reported as CPPSQLITE_ERROR).
template <class Operation>
[[nodiscard]] std::optional<CppSQLite3Exception> tryStorage(Operation&& operation) noexcept {
  try {
    std::forward<Operation>(operation)();
    return std::nullopt;
  } catch (const CppSQLite3Exception& failure) {
    return failure;
  } catch (const std::exception& failure) {
    const std::string what = failure.what();
    return CppSQLite3Exception(CPPSQLITE_ERROR, std::u16string(what.begin(), what.end()).c_str());
  } catch (...) {
    return CppSQLite3Exception(CPPSQLITE_ERROR, u"storage operation failed");
  }
}

}  // namespace tavrin::storage
