// The label preview on the "Label Editor" page, under Qt's offscreen
// platform: it follows the editor a moment after each edit, a design that is
// not ZPL shows the note instead of a picture, and the label size typed or
// stepped under the picture reaches the model and the picture.
#include "config/app/label_preview_pane.h"

#include "config/app/main_window.h"
#include "config/design_preview.h"
#include "config/dovetack_model.h"
#include "dbf_fixture.h"
#include "dovetack_controls.h"
#include "qt_offscreen.h"
#include "recording_messages.h"
#include "temp_dir.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace velmora::config::app {
namespace {

constexpr const char* kDesign = "^XA\r\n^PW400^LL200\r\n^FO20,20^A0N,40^FD<Item Name>^FS\r\n"
                                "^FO20,80^A0N,25^FD<Item Mod[1]>^FS\r\n^XZ\r\n";

class LabelPreviewPaneTest : public ::testing::Test {
protected:
  LabelPreviewPaneTest() { velmora::test::offscreenApplication(); }

  // Waits for the pane's next redraw after an edit.
  static bool redrawn(LabelPreviewPane& pane, QImage before) {
    return QTest::qWaitFor([&] { return pane.labelImage() != before; },
                           kPreviewRedrawDelayMs + 3000);
  }

  static int blackDots(const QImage& image) {
    int count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
      for (int x = 0; x < rgb.width(); ++x)
        count += qGray(rgb.pixel(x, y)) < 128 ? 1 : 0;
    return count;
  }

  velmora::test::RecordingMessages messages;
  DovetackModel model{messages, [] { return std::string("02:09 PM"); }};
};

TEST_F(LabelPreviewPaneTest, DrawsTheMergedSampleAtTheDesignsSizeAndFollowsEdits) {
  LabelPreviewPane pane(model);
  pane.setDesignText(QString::fromLatin1(kDesign));
  ASSERT_TRUE(redrawn(pane, QImage()));
  const QImage first = pane.labelImage();
  EXPECT_EQ(first.size(), QSize(400, 200)); // ^PW and ^LL, one pixel per dot
  EXPECT_EQ(first.depth(), 1);
  EXPECT_GT(blackDots(first), 500); // the item name and the first modifier
  EXPECT_EQ(pane.notesText(), "");

  // Not redrawn at once, but a moment later.
  QString edited = QString::fromLatin1(kDesign);
  edited.replace(QStringLiteral("^XZ"), QStringLiteral("^FO0,150^GB400,50,50^FS^XZ"));
  pane.setDesignText(edited);
  EXPECT_EQ(pane.labelImage(), first);
  ASSERT_TRUE(redrawn(pane, first));
  EXPECT_GT(blackDots(pane.labelImage()), blackDots(first) + 400 * 50 - 100);
}

TEST_F(LabelPreviewPaneTest, ShowsTheNoteForADesignThatIsNotZpl) {
  LabelPreviewPane pane(model);
  pane.setDesignText(QString::fromLatin1(kDesign));
  ASSERT_TRUE(redrawn(pane, QImage()));
  pane.setDesignText(QStringLiteral("<Item Name>\r\n<Item Mod[1]>\r\n"));
  ASSERT_TRUE(redrawn(pane, pane.labelImage()));
  EXPECT_TRUE(pane.labelImage().isNull());
  EXPECT_EQ(pane.notesText(), "no preview for this design");
}

TEST_F(LabelPreviewPaneTest, ShowsWhatTheRendererClampedAndUsesTheChosenSize) {
  LabelPreviewPane pane(model);
  pane.setDesignText(QStringLiteral("^XA^FO-5,10^A0N,30^FD<Item Name>^FS"));
  ASSERT_TRUE(redrawn(pane, QImage()));
  // No ^PW / ^LL: 4 x 2 inches at 203 dpi, as the pane offers by default.
  EXPECT_EQ(pane.labelImage().size(), QSize(812, 406));
  EXPECT_TRUE(pane.notesText().contains(QStringLiteral("clamped to 0 to 32000")));
  EXPECT_TRUE(pane.notesText().contains(QStringLiteral("not closed by ^XZ")));
}

// The size boxes show and take sizes as the model writes and reads them;
// each choice redraws the picture at once.
TEST_F(LabelPreviewPaneTest, TheSizeTypedOrSteppedUnderThePictureIsTheLabelsSize) {
  LabelPreviewPane pane(model);
  pane.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
  pane.setDesignText(QStringLiteral("^XA^FO10,10^GB100,50,50^FS^XZ"));
  ASSERT_TRUE(redrawn(pane, QImage()));
  auto* width = velmora::test::control<QSpinBox>(pane, "previewWidth");
  auto* length = velmora::test::control<QSpinBox>(pane, "previewLength");
  auto* dpi = velmora::test::control<QComboBox>(pane, "previewDpi");
  EXPECT_EQ(width->text(), "4.00 in");
  EXPECT_EQ(length->text(), "2.00 in");
  EXPECT_EQ(dpi->currentText(), "203 dpi");

  width->selectAll();
  QTest::keyClicks(width, "2,25");
  EXPECT_EQ(model.previewLabelSize().width, 225);
  EXPECT_EQ(pane.labelImage().size(), QSize(457, 406)); // 2.25 in at 203 dpi
  QTest::keyClicks(width, "x");                         // no size: the box refuses the key
  EXPECT_EQ(model.previewLabelSize().width, 225);

  QTest::keyClick(length, Qt::Key_Up); // a quarter inch more
  EXPECT_EQ(length->text(), "2.25 in");
  EXPECT_EQ(pane.labelImage().size(), QSize(457, 457));

  length->selectAll();
  QTest::keyClicks(length, "9"); // beyond eight inches: not taken
  EXPECT_EQ(model.previewLabelSize().length, 225);
  QTest::keyClick(length, Qt::Key_Return); // Enter shows the size taken again
  EXPECT_EQ(length->text(), "2.25 in");

  dpi->setCurrentIndex(dpi->findText(QStringLiteral("300 dpi")));
  EXPECT_EQ(model.previewLabelSize(), (PreviewLabelSize{225, 225, 300}));
  EXPECT_EQ(pane.labelImage().size(), QSize(675, 675));
  EXPECT_TRUE(messages.errors.empty());
}

TEST_F(LabelPreviewPaneTest, FollowsTheLabelEditorOfTheWindow) {
  velmora::test::TempWorkDir dir;
  velmora::test::makePrinterTable({"PREP1"});
  velmora::test::writeBytes(dir.path() / "LabelDesign.txt", kDesign);
  TfrmMain frmMain(model, nullptr);
  frmMain.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frmMain));
  const velmora::test::MainWindowControls window(frmMain);
  window.pageMain->setCurrentWidget(window.tabLabelEditor);
  auto* pane = frmMain.findChild<LabelPreviewPane*>();
  ASSERT_NE(pane, nullptr);
  ASSERT_TRUE(redrawn(*pane, QImage())); // the design read at start
  const QImage before = pane->labelImage();

  window.reLabelDesign->moveCursor(QTextCursor::Start);
  QTest::keyClicks(window.reLabelDesign, "^XA^FO0,0^GB400,200,200^FS^XZ");
  // The keystrokes may be drawn on the way; the last drawing is the whole box.
  EXPECT_TRUE(QTest::qWaitFor([&] { return blackDots(pane->labelImage()) == 400 * 200; }, 5000));
  EXPECT_TRUE(messages.errors.empty());
}

} // namespace
} // namespace velmora::config::app
