#include "screens/files/CBriskOpenFileDlg.h"

#include "controls/CMsgBoxDlg.h"
#include "platform/picture.h"
#include "shell/app_paths.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr char16_t kTitle[] = u"请选择你要设置的背景图片:";
constexpr char16_t kNothingChosen[] = u"请选择你要设置的图片！";
constexpr char16_t kCaption[] = u"塔文提示";
constexpr char16_t kCannotShow[] = u"这张图片无法显示，请选择其他图片！";
constexpr char16_t kTooLarge[] = u"这张图片太大（超过1600万像素或32MB），请选择较小的图片！";
constexpr char16_t kEmptyFolder[] = u"此文件夹中没有文件夹或图片";

enum Command { kOk = 1, kExit };

// The largest rectangle of the image's proportions inside box, centred.
Rect fit(int w, int h, const Rect& box) {
  if (w <= 0 || h <= 0) return {};
  int fw = box.width(), fh = box.width() * h / w;
  if (fh > box.height()) fh = box.height(), fw = box.height() * w / h;
  const int x = box.left + (box.width() - fw) / 2, y = box.top + (box.height() - fh) / 2;
  return {x, y, x + fw, y + fh};
}

}  // namespace

CBriskOpenFileDlg::CBriskOpenFileDlg(std::filesystem::path root, controls::UiContext ui,
                                     std::filesystem::path start)
    : controls::Screen({.class_name = "CBriskOpenFileDlg", .title = kTitle}, std::move(ui)),
      root_(std::move(root)),
      start_(std::move(start)) {
  set_frame({.title = kTitle,
             .keys = {{u"确定", controls::kLeftKey, kOk}, {u"退出", controls::kRightKey, kExit}}});
  list_.set_row_painter([this](gfx::PixelCanvas& c, const controls::ListRow& row,
                               const gfx::Rect& r,
                               bool selected) { paint_row(c, row, r, selected); });
}

CBriskOpenFileDlg::~CBriskOpenFileDlg() {
  destroy();
}

int CBriskOpenFileDlg::run_modal() {
  result_.clear();
  const int code = controls::Screen::run_modal();
  destroy();
  return code == 1 ? 1 : 0;
}

bool CBriskOpenFileDlg::on_create() {
  list_.set_id(kListId);
  const Rect content = to_screen(kContent);
  if (!list_.create(window(), content.left, content.top, content.right, content.bottom))
    return false;
  list_.set_background(&surface(), to_screen(Point{0, 0}));
  add_list(list_);
  list_.set_tap_message(msg::kItemTapped, kListId);
  // A start outside the tree opens at its root.
  const auto below = start_.lexically_relative(root_);
  open_folder(start_.empty() || below.empty() || *below.begin() == ".." ? root_ : start_);
  return true;
}

void CBriskOpenFileDlg::on_destroy() {
  list_.destroy();
}

void CBriskOpenFileDlg::open_folder(const std::filesystem::path& folder) {
  folder_ = folder;
  entries_ = list_folder(folder_);
  selected_ = -1;
  preview_.reset();
  // The path list: the root, then each folder level below it.
  path_list_.assign(1, root_);
  const auto relative = folder_.lexically_relative(root_);
  if (!relative.empty() && *relative.begin() != "..") {
    std::filesystem::path at = root_;
    for (const auto& part : relative) {
      if (part == ".") continue;
      at /= part;
      path_list_.push_back(at);
    }
  }
  fill_list();
  repaint();
}

void CBriskOpenFileDlg::fill_list() {
  list_.clear();
  for (size_t i = 0; i < entries_.size(); ++i)
    list_.add_row({.text = entries_[i].name, .value = intptr_t(i)});
  list_.scroller().set_offset(0);
  list_.relayout();
}

void CBriskOpenFileDlg::choose(int index) {
  if (index < 0 || index >= int(entries_.size())) return;
  const FolderEntry entry = entries_[size_t(index)];
  if (entry.folder) {
    open_folder(entry.path);
    return;
  }
  selected_ = index;
  const Rect room = kPreview.inset(2);  // fitted as it is drawn: one scaling, averaged
  preview_ = decode_picture_file(entry.path.string(), {room.width(), room.height()});
  repaint();
}

void CBriskOpenFileDlg::confirm() {
  if (selected_ < 0 || selected_ >= int(entries_.size()) || entries_[size_t(selected_)].folder) {
    controls::CMsgBoxDlg::show(window(), kNothingChosen, kCaption);
    return;
  }
  // Only a picture the client can read becomes a background: another (a
  // damaged file, one too large) would leave the screens on the theme's
  // own background, in every later run too.
  if (!preview_) {
    const bool too_large =
        platform::picture_too_large(entries_[size_t(selected_)].path.string());
    controls::CMsgBoxDlg::show(window(), too_large ? kTooLarge : kCannotShow, kCaption);
    return;
  }
  result_ = entries_[size_t(selected_)].path;
  end_modal(1);
}

void CBriskOpenFileDlg::on_command(int command) {
  if (command == kOk) confirm();
  if (command == kExit) end_modal(0);
}

void CBriskOpenFileDlg::on_tap(Point p) {
  if (kPathColumn.contains(p)) {
    const size_t row = size_t((p.y - kPathColumn.top) / kPathRow);
    // The column shows "设备" and the deepest levels that fit.
    const size_t rows = size_t(kPathColumn.height() / kPathRow);
    const size_t skip = path_list_.size() > rows ? path_list_.size() - rows : 0;
    const size_t index = row == 0 ? 0 : row + skip;
    if (index < path_list_.size()) open_folder(path_list_[index]);
  }
}

intptr_t CBriskOpenFileDlg::on_message(const Message& m) {
  if (m.id == msg::kItemTapped && m.wparam == kListId) choose(int(m.lparam));
  return 0;
}

void CBriskOpenFileDlg::paint_row(gfx::PixelCanvas& c, const controls::ListRow& row,
                                  const gfx::Rect& r, bool) {
  const auto& t = theme();
  gfx::Painter p(c);
  const size_t i = size_t(row.value);
  const bool folder = i < entries_.size() && entries_[i].folder;
  if (int(i) == selected_) p.fill_rect(r, t.list_bk_color, t.list_bg_alpha);
  p.image(skin(folder ? "Folder.png" : "download.png"), r.left + 10, r.top + 13);
  // A name longer than its row shows its start and "…", never a cut glyph.
  p.text(row.text, {r.left + 84, r.top, r.right - 6, r.bottom}, 26, t.bg_text_color,
         text::kLeft | text::kVCenter | text::kSingleLine | text::kEndEllipsis);
  p.hline(r.bottom - 1, r.left, r.right, t.line_color);
}

void CBriskOpenFileDlg::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  ScreenFrame::background(p, t);
  // The path list: "设备", then the deepest levels that fit.
  const size_t rows = size_t(kPathColumn.height() / kPathRow);
  const size_t skip = path_list_.size() > rows ? path_list_.size() - rows : 0;
  for (size_t row = 0; row < rows; ++row) {
    const size_t index = row == 0 ? 0 : row + skip;
    if (index >= path_list_.size()) break;
    const Rect r{kPathColumn.left, kPathColumn.top + int(row) * kPathRow, kPathColumn.right,
                 kPathColumn.top + int(row + 1) * kPathRow};
    const bool current = index + 1 == path_list_.size();
    if (current) p.fill_rect(r, t.list_bk_color, t.list_bg_alpha);
    const std::u16string name =
        index == 0 ? std::u16string(u"设备") : shell::from_path(path_list_[index].filename());
    p.text(name, {r.left + 8, r.top, r.right - 4, r.bottom}, 24, t.bg_text_color,
           text::kLeft | text::kVCenter | text::kSingleLine | text::kEndEllipsis);
    p.hline(r.bottom - 1, r.left, r.right, t.line_color);
  }
  p.vline(kPathColumn.right - 1, kPathColumn.top, kContent.bottom, t.line_color);
  if (entries_.empty())
    p.text(kEmptyFolder,
           {kContent.left + 10, kContent.top + 20, kContent.right - 10, kContent.top + 80}, 24,
           t.bg_text_color, text::kCenter | text::kVCenter | text::kSingleLine);
  if (preview_) {
    p.fill_rect(kPreview, t.edit_bk_color, 255);
    p.image_scaled(*preview_, fit(preview_->width, preview_->height, kPreview.inset(2)));
    p.draw_frame(kPreview, t.line_color);
  }
}

}  // namespace tavrin::screens
