// The contact tree's model under arbitrary stores and arbitrary sequences
// of presence changes, removals, recent marks and searches (names and
// search texts as the server and the user could send them).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mainwnd/ContactTreeModel.h"
#include "platform/text_codec.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t byte() { return at < size ? data[at++] : 0; }
  std::u16string text() {
    const size_t n = byte() % 12;
    std::string_view raw(reinterpret_cast<const char*>(data + std::min(at, size)),
                         std::min(n, size - std::min(at, size)));
    at += raw.size();
    return tavrin::platform::utf8_to_utf16(raw);
  }
  tavrin::mainwnd::ContactRecord contact() {
    tavrin::mainwnd::ContactRecord c;
    c.id = byte() % 16;
    c.group_id = byte() % 6;
    c.name = text();
    c.status = tavrin::mainwnd::stored_status(byte());
    c.mobile = byte() & 1;
    return c;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavrin::mainwnd;
  Input in{data, size};
  StoreSnapshot store;
  for (int n = in.byte() % 6; n > 0; --n) store.lists.push_back({in.byte() % 6, in.text()});
  for (int n = in.byte() % 24; n > 0; --n) store.contacts.push_back(in.contact());
  std::vector<tavrin::controls::TreeSection> sections;
  ContactTreeModel model(sections);
  model.build(store);
  while (in.at < in.size) {
    ContactTreeModel::Touched t;
    switch (in.byte() % 6) {
      case 0:
        t = model.update(in.contact(), in.byte() & 1);
        break;
      case 1:
        t = model.remove(in.byte() % 16);
        break;
      case 2:
        t = model.mark_recent(in.contact(), in.byte() & 1);
        break;
      case 3:
        t = model.fill_search(model.find_by_name(in.text()));
        break;
      case 4:
        t = model.fill_search(model.find_by_number(in.text()));
        break;
      default:
        model.build(store);
        break;
    }
    for (auto [s, i] : t.rows)
      if (s >= int(sections.size()) || i >= int(sections[size_t(s)].items.size())) std::abort();
    for (const auto& s : sections)
      if (s.online < 0 || s.online > int(s.items.size())) std::abort();
  }
  return 0;
}
