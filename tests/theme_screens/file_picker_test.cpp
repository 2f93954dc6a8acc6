// The file picker: folders and images listed (extensions without regard
// to case), other files not, folders first and by name; "设备" returns to
// the root; "确定" refuses a folder or nothing; a chosen image is previewed
// and returned; a folder that cannot be read lists nothing; a
// start folder below the root shows the way up.
#include <fstream>

#include "platform/text_codec.h"
#include "screens/files/CBriskOpenFileDlg.h"
#include "theme_fixture.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;
using screens::CBriskOpenFileDlg;

class FilePickerTest : public ThemeScreenTest {
 protected:
  void SetUp() override {
    ThemeScreenTest::SetUp();
    root = data.path / "device";
    fs::create_directories(root / "Pictures" / "Trips");
    fs::copy_file(install / "Theme" / "bk.png", root / "Pictures" / "sea.png");
    fs::copy_file(install / "Theme" / "AddBuddy.png", root / "Pictures" / "Icon.PNG");
    std::ofstream(root / "Pictures" / "notes.txt") << "not an image";
    std::ofstream(root / "Pictures" / "photo.jpeg") << "jpeg bytes";
    std::ofstream(root / "Pictures" / ".hidden.png") << "hidden";
  }
  static int row_y(int row) { return CBriskOpenFileDlg::kContent.top + 52 + row * 90 + 45; }
  int row_of(const CBriskOpenFileDlg& dlg, const std::u16string& name) {
    for (size_t i = 0; i < dlg.entries().size(); ++i)
      if (dlg.entries()[i].name == name) return int(i);
    return -1;
  }
  fs::path root;
};

TEST(FolderListingTest, ImagesByExtensionWithoutRegardToCase) {
  for (const char16_t* yes : {u"a.png", u"b.JPG", u"c.Jpeg", u"d.bmp", u"e.GIF", u"x.y.png"})
    EXPECT_TRUE(screens::is_image_name(yes));
  for (const char16_t* no : {u"a.txt", u"png", u"a.png.txt", u"a.", u"a.pn"})
    EXPECT_FALSE(screens::is_image_name(no));
  EXPECT_TRUE(screens::list_folder("/nonexistent/folder").empty());
}

TEST_F(FilePickerTest, ListsFoldersAndImagesAndReturnsToTheRoot) {
  CBriskOpenFileDlg dlg(root);
  inside_modal([&] {
    EXPECT_EQ(dlg.folder(), root);
    EXPECT_EQ(dlg.entries().size(), 1u);
    tap(300, row_y(row_of(dlg, u"Pictures")));
    EXPECT_EQ(dlg.folder(), root / "Pictures");
    std::vector<std::u16string> names;
    for (const auto& e : dlg.entries()) names.push_back(e.name);
    // Folders first, then files, by name whatever the letter case: alike on every machine.
    EXPECT_EQ(names,
              (std::vector<std::u16string>{u"Trips", u"Icon.PNG", u"photo.jpeg", u"sea.png"}));
    tap(300, row_y(row_of(dlg, u"Trips")));
    EXPECT_EQ(dlg.path_list().size(), 3u);
    // "确定" with nothing selected is refused.
    bool refused = false;
    inside_modal([&] {
      refused = true;
      tap(kBoxOk);
    });
    tap(kLeftKey);
    EXPECT_TRUE(refused);
    // "设备" from two levels down.
    tap(40, CBriskOpenFileDlg::kPathColumn.top + 52 + 30);
    EXPECT_EQ(dlg.folder(), root);
    EXPECT_EQ(dlg.path_list().size(), 1u);
    tap(kRightKey);
  });
  EXPECT_EQ(dlg.run_modal(), 0);
  EXPECT_TRUE(dlg.result().empty());
}

TEST_F(FilePickerTest, AChosenImageIsPreviewedAndReturned) {
  CBriskOpenFileDlg dlg(root / "Pictures");
  inside_modal([&] {
    tap(300, row_y(row_of(dlg, u"sea.png")));
    EXPECT_EQ(dlg.entries().at(size_t(dlg.selected())).name, u"sea.png");
    EXPECT_EQ(golden_shot("file_picker_preview"), "");
    tap(kLeftKey);
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  EXPECT_EQ(dlg.result(), root / "Pictures" / "sea.png");
}

// "确定" on a picture the client will not show says why: a camera's
// 24-megapixel photo is too large (its header says so, the rest is never
// read), a broken file cannot be shown.
TEST_F(FilePickerTest, APictureRefusedSaysWhetherItIsTooLarge) {
  // A PNG whose header names 6000 x 4000 pixels.
  std::string big("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x17\x70\0\0\x0f\xa0\x08\x02\0\0\0", 29);
  big += std::string(4096, '\0');
  std::ofstream(root / "Pictures" / "camera.png", std::ios::binary) << big;
  const struct {
    const char16_t* file;
    const char16_t* says;
  } cases[] = {
      {u"camera.png", u"太大"},
      {u"photo.jpeg", u"无法显示"},
  };
  for (const auto& c : cases) {
    CBriskOpenFileDlg dlg(root / "Pictures");
    std::u16string box;
    inside_modal([&] {
      tap(300, row_y(row_of(dlg, c.file)));
      inside_modal([&] {
        for (const auto& d : design->take()) box += d.text;
        tap(kBoxOk);
      });
      tap(kLeftKey);
      tap(kRightKey);
    });
    EXPECT_EQ(dlg.run_modal(), 0);
    EXPECT_NE(box.find(c.says), std::u16string::npos) << platform::utf16_to_utf8(box);
  }
}

TEST_F(FilePickerTest, AnUnreadableFolderListsNothing) {
  fs::create_directories(root / "Locked");
  fs::permissions(root / "Locked", fs::perms::none);
  CBriskOpenFileDlg dlg(root);
  inside_modal([&] {
    dlg.open_folder(root / "Locked");
    EXPECT_TRUE(dlg.entries().empty());
    tap(kRightKey);
  });
  dlg.run_modal();
  fs::permissions(root / "Locked", fs::perms::owner_all);
}

TEST_F(FilePickerTest, AHomeWithOnlyHiddenEntriesShowsTheWayUp) {
  const fs::path home = root / "home" / "user";
  fs::create_directories(home / ".config");
  CBriskOpenFileDlg dlg(root, controls::UiContext::current(), home);
  inside_modal([&] {
    EXPECT_EQ(dlg.folder(), home);
    EXPECT_TRUE(dlg.entries().empty());
    ASSERT_EQ(dlg.path_list().size(), 3u);  // 设备, home, user
    tap(40, CBriskOpenFileDlg::kPathColumn.top + 52 + CBriskOpenFileDlg::kPathRow + 30);
    EXPECT_EQ(dlg.folder(), root / "home");
    tap(kRightKey);
  });
  dlg.run_modal();
}

}  // namespace
}  // namespace tavrin::test
