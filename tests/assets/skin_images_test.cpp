// Skin images in the install folder: every image the client names exists,
// decodes with the client's own PNG decoder and has the size its screen
// layout implies; the cell strips are filled cell by cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>

#include "asset_manifest.h"
#include "platform/image.h"

namespace {

using tavrin::platform::ArgbImage;
using tavrin::platform::decode_png_file;
using tavrin::test::install_path;

struct Named {
  const char* path;
  int width, height;  // 0: the size is the manifest's choice
};

// Every image file the client opens from its theme folder, with the size
// where a layout fixes it.
constexpr Named kClientImages[] = {
    {"Theme/bk.png", 480, 800},            // drawn into (0,0)-(480,800)
    {"Theme/TavrinMainBk.png", 480, 800},  // over the main background
    {"Theme/TavrinStatus.png", 600, 66},   // ten 60 x 66 cells
    {"Theme/Face.png", 462, 200},          // 11 x 42 by 5 x 40
    {"Theme/TavrinGroupMsg.png", 26, 29},  // into (3,2)-(29,31)
    {"Theme/TavrinActInfo.png", 90, 90},   // the avatar area (30,66)-(120,156)
    {"Theme/BtnNormal.png", 80, 100},      // settings tabs: x 0-80, 100 high
    {"Theme/BtnSel.png", 80, 100},
    {"Theme/TavrinTabBkSel.png", 160, 0},  // one of three tabs across 480
    {"Theme/SettingBk.png", 480, 800},
    {"Theme/NewSMS.png", 0, 0},
    {"Theme/BriskTreeFlag.png", 0, 0},
    {"Theme/TavrinOper.png", 0, 0},
    {"Theme/TavrinAddSearch.png", 0, 0},
    {"Theme/TavrinDialog.png", 0, 0},
    {"Theme/TavrinMsgOper.png", 0, 0},
    {"Theme/TavrinLogo.png", 0, 0},
    {"Theme/TavrinInOut.png", 0, 0},
    {"Theme/BriskContactInfo.png", 0, 0},
    {"Theme/BriskContactZu.png", 0, 0},
    {"Theme/AddBuddy.png", 0, 0},
    {"Theme/SettingBtn.png", 0, 0},
    {"Theme/Folder.png", 0, 0},
    {"Theme/FolderB.png", 0, 0},
    {"Theme/download.png", 0, 0},
};

// Share of pixels with any alpha in a rectangle.
double coverage(const ArgbImage& img, int x0, int y0, int w, int h) {
  int lit = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x)
      lit += (img.pixels[static_cast<size_t>(y) * img.width + x] >> 24) != 0;
  return static_cast<double>(lit) / (w * h);
}

TEST(SkinImages, EveryImageTheClientNamesIsListedWithItsLayoutSize) {
  const auto manifest = tavrin::test::load_asset_manifest();
  for (const Named& n : kClientImages) {
    SCOPED_TRACE(n.path);
    const auto it = std::find_if(manifest.images.begin(), manifest.images.end(),
                                 [&](const auto& img) { return img.path == n.path; });
    ASSERT_NE(it, manifest.images.end()) << "not in the manifest";
    if (n.width != 0) {
      EXPECT_EQ(it->width, n.width);
    }
    if (n.height != 0) {
      EXPECT_EQ(it->height, n.height);
    }
  }
}

TEST(SkinImages, EveryManifestImageDecodesAtItsSizeAndIsNotEmpty) {
  const auto manifest = tavrin::test::load_asset_manifest();
  ASSERT_GE(manifest.images.size(), std::size(kClientImages));
  std::set<std::string> seen;
  for (const auto& entry : manifest.images) {
    SCOPED_TRACE(entry.path);
    EXPECT_TRUE(seen.insert(entry.path).second) << "listed twice";
    const auto img = decode_png_file(install_path(entry.path));
    ASSERT_TRUE(img.has_value()) << "missing or unreadable";
    EXPECT_EQ(img->width, entry.width);
    EXPECT_EQ(img->height, entry.height);
    EXPECT_GT(coverage(*img, 0, 0, img->width, img->height), 0.02);
  }
}

TEST(SkinImages, CellStripsHaveAPictureInEveryCellTheClientUses) {
  struct Strip {
    const char* path;
    int cell_w, cell_h, columns, used;
  };
  for (const Strip s :
       {Strip{"Theme/TavrinStatus.png", 60, 66, 10, 10}, Strip{"Theme/Face.png", 42, 40, 11, 53},
        Strip{"Theme/TavrinMsgOper.png", 64, 64, 7, 7}, Strip{"Theme/SettingBtn.png", 48, 48, 4, 4},
        Strip{"Theme/BriskTreeFlag.png", 20, 20, 2, 2}}) {
    SCOPED_TRACE(s.path);
    const auto img = decode_png_file(install_path(s.path));
    ASSERT_TRUE(img.has_value());
    const int cells = (img->width / s.cell_w) * (img->height / s.cell_h);
    for (int i = 0; i < cells; ++i) {
      const double c = coverage(*img, (i % s.columns) * s.cell_w, (i / s.columns) * s.cell_h,
                                s.cell_w, s.cell_h);
      if (i < s.used) {
        EXPECT_GT(c, 0.05) << "cell " << i << " is empty";
      } else {
        EXPECT_EQ(c, 0.0) << "cell " << i << " selects nothing and should stay clear";
      }
    }
  }
}

TEST(SkinImages, FullWindowFramesLeaveTheirListAreasSeeThrough) {
  // The main frame lies over the user's background: the contact list must
  // show it; the general background is opaque everywhere.
  const auto frame = decode_png_file(install_path("Theme/TavrinMainBk.png"));
  const auto bk = decode_png_file(install_path("Theme/bk.png"));
  ASSERT_TRUE(frame && bk);
  int opaque = 0;
  for (int y = 130; y < 630; ++y)
    for (int x = 0; x < 480; ++x)
      opaque += (frame->pixels[static_cast<size_t>(y) * 480 + x] >> 24) > 0x80;
  EXPECT_EQ(opaque, 0);
  int holes = 0;
  for (uint32_t p : bk->pixels) holes += (p >> 24) != 0xFF;
  EXPECT_EQ(holes, 0);
}

}  // namespace
