#include "admin/account_csv.h"

#include <algorithm>

#include "admin/account_admin.h"
#include "sipc_message.h"

namespace tavrin::server {

namespace {

std::string trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool isHeader(const CsvRecord& r) {
  if (r.fields.empty()) return false;
  const std::string first = lower(trim(r.fields[0]));
  return first == "number" || first == "mobile";
}

}  // namespace

std::vector<CsvRecord> readCsv(std::string_view text) {
  std::vector<CsvRecord> out;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a spreadsheet's BOM
  size_t i = 0;
  int line = 1;
  while (i < text.size()) {
    CsvRecord r;
    r.line = line;
    std::string field;
    bool quoted = false, wasQuoted = false, end = false;
    while (i < text.size() && !end) {
      const char c = text[i++];
      if (quoted) {
        if (c == '"') {
          if (i < text.size() && text[i] == '"') {
            field += '"';
            ++i;
          } else {
            quoted = false;
          }
        } else {
          if (c == '\n') ++line;
          field += c;
        }
      } else if (c == '"' && field.empty() && !wasQuoted) {
        quoted = wasQuoted = true;
      } else if (c == ',') {
        r.fields.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
      } else if (c == '\n') {
        ++line;
        end = true;
      } else if (c == '\r' && i < text.size() && text[i] == '\n') {
        // the LF ends the record
      } else {
        field += c;
      }
    }
    if (quoted) r.error = "a quoted field is not closed";
    r.fields.push_back(std::move(field));
    const bool blank = r.fields.size() == 1 && r.fields[0].empty() && !wasQuoted;
    if (!blank || !r.error.empty()) out.push_back(std::move(r));
  }
  return out;
}

ImportReport importAccounts(Store& store, std::string_view csv) {
  ImportReport report;
  std::vector<CsvRecord> records = readCsv(csv);
  if (!records.empty() && isHeader(records.front())) records.erase(records.begin());
  struct Pending {
    int line;
    NewAccount account;
  };
  std::vector<Pending> withNumber, withoutNumber;
  for (CsvRecord& r : records) {
    if (!r.error.empty()) {
      report.refused.push_back({r.line, r.error});
      continue;
    }
    const size_t n = r.fields.size();
    if (n != 3 && n != 4) {
      report.refused.push_back({r.line, "wants 3 or 4 fields (number, mobile, nickname, password), "
                                        "found " + std::to_string(n)});
      continue;
    }
    Pending p{r.line, {}};
    const size_t base = n - 3;
    if (n == 4) {
      const std::string number = trim(r.fields[0]);
      if (!number.empty() && (number.size() != 9 || !parseLong(number, p.account.number))) {
        report.refused.push_back({r.line, "the number must have 9 digits"});
        continue;
      }
    }
    p.account.mobile = trim(r.fields[base]);
    p.account.nickname = trim(r.fields[base + 1]);
    p.account.password = r.fields[base + 2];
    if (std::string why = checkNewAccount(p.account); !why.empty()) {
      report.refused.push_back({r.line, why});
      continue;
    }
    (p.account.number != 0 ? withNumber : withoutNumber).push_back(std::move(p));
  }
  AccountAdmin admin(store);
  {
    Transaction tx(store.db(), Transaction::kImmediate);
    for (auto* group : {&withNumber, &withoutNumber})
      for (Pending& p : *group) {
        if (std::string why = admin.add(p.account); !why.empty())
          report.refused.push_back({p.line, why});
        else
          report.created.push_back({p.line, p.account.number});
      }
  }
  auto byLine = [](const auto& a, const auto& b) { return a.line < b.line; };
  std::sort(report.created.begin(), report.created.end(), byLine);
  std::sort(report.refused.begin(), report.refused.end(), byLine);
  return report;
}

}  // namespace tavrin::server
