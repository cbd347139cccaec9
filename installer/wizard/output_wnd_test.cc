// The output window: line layout (colour codes, wrapping) and the widget's
// line limit, following, scrolling and painting.

#include "output_wnd.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QScrollBar>
#include <string>
#include <vector>

#include "output_text.h"

namespace {

using output_text::Run;
using Pieces = std::vector<std::string>;

int One(unsigned char) { return 1; }

TEST(OutputText, WrapsAtTheLastBlankThatFits) {
  struct Case {
    std::string line;
    int width;
    Pieces pieces;
  } cases[] = {
      {"aaaa bbbb cccc", 10, {"aaaa bbbb", "cccc"}},
      {"aaaa bbbb", 9, {"aaaa bbbb"}},  // exactly as wide: no break
      {"aa bb cc dd", 5, {"aa bb", "cc dd"}},
      {"aa bb cc dd", 3, {"aa", "bb", "cc", "dd"}},
      {"aaa bbb ccc", 7, {"aaa bbb", "ccc"}},  // the overflowing blank breaks
      {"abcdefghijkl", 5, {"abcdefghijkl"}},   // no blank: runs past the edge
      {"abcdefgh ij", 5, {"abcdefgh", "ij"}},
      {"\x03"
       "4aaaa bbbb",
       9,
       {"\x03"
        "4aaaa bbbb"}},  // codes have no width
      {"aaa \x03"
       "4,2bbb ccc",
       7,
       {"aaa \x03"
        "4,2bbb",
        "ccc"}},
      {"a\x1E"
       "b c",
       3,
       {"a\x1E"
        "b",
        "c"}},  // 0x1E in the text stays text
      {"", 5, {""}},
      {"x y", 0, {"x y"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(output_text::Wrap(c.line, c.width, One), c.pieces) << c.line;
}

TEST(OutputText, ColourCodes) {
  auto runs = output_text::SplitRuns(
      "ok \x03"
      "4red \x03"
      "12,3blue"
      "\x03");
  ASSERT_EQ(3u, runs.size());
  EXPECT_EQ("ok ", runs[0].text);
  EXPECT_EQ(-1, runs[0].fg);
  EXPECT_EQ("red ", runs[1].text);
  EXPECT_EQ(4, runs[1].fg);
  EXPECT_EQ(-1, runs[1].bg);
  EXPECT_EQ("blue", runs[2].text);  // the bare 0x03 at the end changes nothing
  EXPECT_EQ(12, runs[2].fg);
  EXPECT_EQ(3, runs[2].bg);

  runs = output_text::SplitRuns(
      "\x03"
      "123");  // two digits at most
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(12, runs[0].fg);
  EXPECT_EQ("3", runs[0].text);
  runs = output_text::SplitRuns(
      "\x03"
      "5,x");  // comma without digits is text
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(5, runs[0].fg);
  EXPECT_EQ(",x", runs[0].text);
  EXPECT_EQ(4, output_text::TextWidth("ab\x03"
                                      "1,2cd\x03",
                                      One));
}

class OutputWndTest : public ::testing::Test {
 protected:
  OutputWndTest() {
    wnd_.resize(300, 120);
    wnd_.SetFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  }
  void Add(int n, const char* prefix = "line ") {
    for (int i = 0; i < n; ++i)
      wnd_.AddString(prefix + std::to_string(added_++));
  }
  TOutputWnd wnd_;
  int added_ = 0;
};

TEST_F(OutputWndTest, KeepsTheNewestLinesUpToTheLimit) {
  EXPECT_EQ(-1, wnd_.BottomLine());
  Add(TOutputWnd::kLineLimit + 3);
  EXPECT_EQ(TOutputWnd::kLineLimit, wnd_.LineCount());
  EXPECT_EQ("line 3", wnd_.Line(0));
  EXPECT_EQ(TOutputWnd::kLineLimit - 1, wnd_.BottomLine());
  EXPECT_EQ(TOutputWnd::kLineLimit - 1, wnd_.verticalScrollBar()->maximum());
}

TEST_F(OutputWndTest, FollowsUnlessScrolledAwayAndResumesAtTheEnd) {
  Add(100);
  EXPECT_EQ(99, wnd_.BottomLine());
  wnd_.ScrollToLine(50);
  Add(10);
  EXPECT_EQ(50, wnd_.BottomLine());
  EXPECT_EQ("line 50", wnd_.Line(wnd_.BottomLine()));
  wnd_.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(109, wnd_.BottomLine());
  Add(1);
  EXPECT_EQ(110, wnd_.BottomLine());
  // Staying put at the limit keeps the same line in view.
  Add(TOutputWnd::kLineLimit - 111);
  wnd_.ScrollToLine(4000);
  std::string shown = wnd_.Line(4000);
  Add(20);
  EXPECT_EQ(3980, wnd_.BottomLine());
  EXPECT_EQ(shown, wnd_.Line(wnd_.BottomLine()));
}

TEST_F(OutputWndTest, WrapsLongLinesToTheClientWidth) {
  int chars = wnd_.viewport()->width() / wnd_.CharWidth();
  std::string word(chars / 3, 'w');
  std::string line = word + " " + word + " " + word + " " + word;
  std::vector<std::string> rows = wnd_.Rows(line);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(word + " " + word, rows[0]);
  EXPECT_EQ(word + " " + word, rows[1]);

  wnd_.SetWordWrap(false);
  EXPECT_EQ(1u, wnd_.Rows(line).size());
  wnd_.AddString(line + line);
  QScrollBar* h = wnd_.horizontalScrollBar();
  EXPECT_GT(h->maximum(), 0);
  h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(wnd_.CharWidth(), wnd_.HorizontalOffset());
  h->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(h->maximum(), wnd_.HorizontalOffset());
}

// Counts pixels of the picture that are clearly red.
int RedPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++n;
    }
  return n;
}

TEST_F(OutputWndTest, ColourCodeFourTurnsTheRestOfTheLineRed) {
  wnd_.AddString("plain text");
  QImage plain = wnd_.grab().toImage();
  EXPECT_EQ(0, RedPixels(plain));
  wnd_.AddString(
      "plain \x03"
      "4MMMM WWWW");
  QImage red = wnd_.grab().toImage();
  EXPECT_GT(RedPixels(red), 20);
  EXPECT_EQ(QColor(255, 0, 0), TOutputWnd::PaletteColor(4));
}

}  // namespace
