// The about box's version lines from Windows executables beside the program,
// on Qt's offscreen platform.
#include "config/app/about_box.h"

#include "dovetack_controls.h"
#include "qt_offscreen.h"
#include "temp_dir.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora::config::app {
namespace {

const std::filesystem::path kFixtures = VELMORA_PE_FIXTURES_DIR;

struct Case {
  const char* name;
  const char* productFixture; // copied as Cartavell.EXE, or none
  const char* serviceFixture; // copied as CartavellService.EXE, or none
  const char* productLine;
  const char* serviceLine;
};

TEST(AboutBox, VersionLinesFromTheExecutablesBesideTheProgram) {
  test::offscreenApplication();
  const Case cases[] = {
      {"neither file", nullptr, nullptr, "Cartavell", "CartavellService"},
      {"version 2.1.0.7", "english_2107.exe", nullptr, "Cartavell v2.1.0.7", "CartavellService"},
      {"only another language block", "german_only.exe", "english_2107.exe", "Cartavell v",
       "CartavellService v2.1.0.7"},
      {"no version resource", "no_resource.exe", "no_resource.exe", "Cartavell",
       "CartavellService"},
  };
  for (const Case& c : cases) {
    test::TempWorkDir folder;
    if (c.productFixture)
      std::filesystem::copy_file(kFixtures / c.productFixture, folder.path() / "Cartavell.EXE");
    if (c.serviceFixture)
      std::filesystem::copy_file(kFixtures / c.serviceFixture,
                                 folder.path() / "CartavellService.EXE");
    TAboutBox box(QString::fromStdString(folder.path().string()));
    const test::AboutBoxControls controls(box);
    EXPECT_EQ(controls.lblProductVersion->text(), "Cartavell") << c.name;
    box.show(); // FormShow
    EXPECT_EQ(controls.lblProductVersion->text().toStdString(), c.productLine) << c.name;
    EXPECT_EQ(controls.lblServiceVersion->text().toStdString(), c.serviceLine) << c.name;
    box.close();
  }
}

TEST(AboutBox, LayoutLinkAndOkButton) {
  test::offscreenApplication();
  test::TempWorkDir folder;
  TAboutBox box(QString::fromStdString(folder.path().string()));
  const test::AboutBoxControls controls(box);
  EXPECT_EQ(box.size(), QSize(402, 219));
  EXPECT_TRUE(box.windowFlags() & Qt::Tool);
  EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(controls.link->openExternalLinks());
  EXPECT_TRUE(controls.link->text().contains(QString::fromUtf8(kMakerWebAddress.data())));
  EXPECT_TRUE(controls.lblProductVersion->font().bold());
  EXPECT_TRUE(controls.okButton->isDefault());
  box.show();
  EXPECT_TRUE(box.isVisible());
  controls.okButton->click();
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

} // namespace
} // namespace velmora::config::app
