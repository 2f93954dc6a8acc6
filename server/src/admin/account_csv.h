// The CSV import of accounts (`tavrin-server account import FILE`): one
// account a record, "number,mobile,nickname,password" with the number
// left empty (or the column left out) for the next free one. Fields follow
// the usual CSV rules: a field in double quotes may hold commas, doubled
// quotes and line breaks; lines end in LF or CRLF; a first record that
// names the columns is skipped. Pure functions of the text and the store.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store.h"

namespace tavrin::server {

struct CsvRecord {
  int line = 0;  // where the record starts, from 1
  std::vector<std::string> fields;
  std::string error;  // a record that cannot be read (an open quote)
};

// Splits the text into records; blank lines give none.
std::vector<CsvRecord> readCsv(std::string_view text);

struct ImportReport {
  struct Created {
    int line;
    long number;
  };
  struct Refused {
    int line;
    std::string reason;
  };
  std::vector<Created> created;
  std::vector<Refused> refused;
};

// Creates the accounts the good records describe, in one transaction, and
// says for each refused record why. Records that name their number are
// taken first, so a number given in the file is never handed to an earlier
// record without one. Throws DbError when the store fails: then nothing
// is created.
ImportReport importAccounts(Store& store, std::string_view csv);

}  // namespace tavrin::server
