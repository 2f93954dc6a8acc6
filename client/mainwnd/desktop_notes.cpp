#include "mainwnd/desktop_notes.h"

#include "platform/text_codec.h"
#include "tavrin/xml_escape.h"

namespace tavrin::mainwnd {
namespace {

constexpr size_t kBodyLimit = 200;  // characters; the bubble shows a few lines anyway

// The body goes to a service that may read simple markup: the text stays text.
std::string escape_markup(std::string_view s) {
  std::string out;
  xml::append_escaped(out, s);
  return out;
}

}  // namespace

platform::DesktopNotification DesktopNotes::compose(Kind kind, std::u16string_view sender,
                                                    std::u16string_view text) {
  platform::DesktopNotification n;
  n.summary = platform::utf16_to_utf8(sender);
  n.desktop_entry = "local.tavrin.Tavrin";
  n.actions = {"default", "查看"};
  if (kind == Kind::kOnline) {
    n.body = escape_markup("上线了");
    n.category = "presence.online";
    n.urgency = 0;
    return n;
  }
  std::u16string body(text.empty() ? std::u16string_view(u"发来新信息") : text);
  if (body.size() > kBodyLimit) {
    size_t cut = kBodyLimit;
    // Never between the halves of a surrogate pair.
    if (body[cut - 1] >= 0xD800 && body[cut - 1] <= 0xDBFF) --cut;
    body = body.substr(0, cut) + u"…";
  }
  n.body = escape_markup(platform::utf16_to_utf8(body));
  n.category = "im.received";
  return n;
}

platform::NotificationBus* DesktopNotes::bus() {
  if (!opened_) {
    opened_ = true;
    if (open_) bus_ = open_();
  }
  return bus_.get();
}

bool DesktopNotes::show(Kind kind, uint32_t contact_id, std::u16string_view sender,
                        std::u16string_view text) {
  platform::NotificationBus* b = bus();
  if (!b) return false;
  platform::DesktopNotification n = compose(kind, sender, text);
  if (const auto shown = shown_for_.find(contact_id); shown != shown_for_.end())
    n.replaces_id = shown->second;
  const uint64_t ticket = b->notify(n);
  if (ticket == 0) return false;
  asked_[ticket] = {contact_id, n.replaces_id};
  return true;
}

void DesktopNotes::shown(uint64_t ticket, uint32_t id) {
  const auto it = asked_.find(ticket);
  if (it == asked_.end()) return;
  const Asked asked = it->second;
  asked_.erase(it);
  if (id == 0) return;  // refused, or no answer in time
  if (asked.replaces_id != 0 && asked.replaces_id != id) contact_of_.erase(asked.replaces_id);
  contact_of_[id] = asked.contact_id;
  shown_for_[asked.contact_id] = id;
}

bool DesktopNotes::poll(const std::function<void(uint32_t)>& on_click) {
  if (!bus_) return false;
  for (const platform::NotificationSignal& s : bus_->take_signals()) {
    if (s.kind == platform::NotificationSignal::kShown) {
      shown(s.ticket, s.id);
      continue;
    }
    const auto it = contact_of_.find(s.id);
    if (it == contact_of_.end()) continue;  // another program's, or long gone
    const uint32_t contact = it->second;
    if (s.kind == platform::NotificationSignal::kClosed) {
      contact_of_.erase(it);
      if (shown_for_[contact] == s.id) shown_for_.erase(contact);
    } else if (s.action == "default") {
      if (on_click) on_click(contact);
    }
  }
  return showing();
}

void DesktopNotes::withdraw(uint32_t contact_id) {
  const auto it = shown_for_.find(contact_id);
  if (it == shown_for_.end()) return;
  if (bus_) bus_->close(it->second);
  contact_of_.erase(it->second);
  shown_for_.erase(it);
}

}  // namespace tavrin::mainwnd
