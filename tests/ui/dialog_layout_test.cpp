#include "updater/ui/dialog_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace dialog_layout_test {

// Fixed-width metrics: 6 pixels a byte, 13 pixels a line.
PlainTextMetrics FixedMetrics() {
  return {[](std::string_view text) { return static_cast<int>(text.size()) * 6; }, 13};
}

// A template 360 pixels wide with two lines of room for the explanation.
MessageDialogFrame Frame() {
  MessageDialogFrame frame;
  frame.client_width = 360;
  frame.explanation = {12, 70, 336, 26};
  frame.buttons = {{180, 109, 80, 25}, {268, 109, 80, 25}};
  frame.client_height = 109 + 25 + 13;
  return frame;
}

const std::string kShort = "One short line.";
const std::string kLong(2000, 'x');

TEST(WrapText, BreaksAtSpacesKeepsParagraphsAndBreaksLongWords) {
  struct Case {
    std::string text;
    int width;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", 60, {}},
      {"one two three", 30, {"one", "two", "three"}},
      {"one two three", 48, {"one two", "three"}},
      {"a\n\nb", 60, {"a", "", "b"}},
      {"abcdefghijkl", 36, {"abcdef", "ghijkl"}},
      {"\xC3\xA9\xC3\xA9\xC3\xA9",
       12,
       {"\xC3\xA9", "\xC3\xA9", "\xC3\xA9"}},  // never mid-character
  };
  for (const Case& c : cases) {
    const WrappedText wrapped = WrapText(c.text, c.width, FixedMetrics());
    EXPECT_EQ(wrapped.lines, c.lines) << c.text;
    EXPECT_EQ(wrapped.height, static_cast<int>(c.lines.size()) * 13) << c.text;
  }
}

TEST(MessageDialogLayout, ButtonsStay13PixelsBelowTheTextAndTheBottom13BelowThem) {
  for (const std::string& text : {kShort, kLong}) {
    const MessageDialogLayout layout = LayoutMessageDialog(Frame(), text, FixedMetrics());
    EXPECT_EQ(layout.explanation.height, layout.text.height);
    EXPECT_EQ(layout.explanation.width, 336);
    ASSERT_EQ(layout.buttons.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(layout.buttons[i].y, layout.explanation.Bottom() + 13);
      EXPECT_EQ(layout.buttons[i].x, Frame().buttons[i].x);
      EXPECT_EQ(layout.buttons[i].height, 25);
    }
    EXPECT_EQ(layout.client_height, layout.buttons[0].Bottom() + 13);
  }
}

TEST(MessageDialogLayout, ShortTextIsShorterThanTheTemplateAndLongTextTaller) {
  const int template_height = Frame().client_height;
  EXPECT_LT(LayoutMessageDialog(Frame(), kShort, FixedMetrics()).client_height, template_height);
  EXPECT_GT(LayoutMessageDialog(Frame(), kLong, FixedMetrics()).client_height, template_height);
}

ErrorDialogFrame ErrorFrame() { return {Frame(), 12, 336}; }

TEST(ErrorDialogLayout, CollapsedEndsUnderTheButtonsExpandedUnderTheDetails) {
  const std::string details = "Some detail text that takes a few lines when it is wrapped.";
  const ErrorDialogLayout collapsed =
      LayoutErrorDialog(ErrorFrame(), kShort, details, false, FixedMetrics());
  const int buttons_bottom = collapsed.message.buttons[0].Bottom();
  EXPECT_FALSE(collapsed.details_shown);
  EXPECT_EQ(collapsed.client_height, buttons_bottom + 13);

  const ErrorDialogLayout expanded =
      LayoutErrorDialog(ErrorFrame(), kShort, details, true, FixedMetrics());
  EXPECT_TRUE(expanded.details_shown);
  EXPECT_EQ(expanded.details_separator, (PixelRect{12, buttons_bottom + 13, 336, 1}));
  EXPECT_EQ(expanded.details.y, buttons_bottom + 27);
  EXPECT_EQ(expanded.details.height, 26);  // two lines
  EXPECT_EQ(expanded.client_height, expanded.details.Bottom() + 13);
}

TEST(ErrorDialogLayout, EmptyDetailsDisableTheButtonAndEndUnderTheButtons) {
  const ErrorDialogLayout layout =
      LayoutErrorDialog(ErrorFrame(), kShort, "", false, FixedMetrics());
  EXPECT_FALSE(DetailsButtonEnabled(""));
  EXPECT_TRUE(DetailsButtonEnabled("x"));
  EXPECT_EQ(layout.client_height, layout.message.buttons[0].Bottom() + 13);
}

TEST(ErrorDialogLayout, DetailsButtonTogglesBetweenMoreAndLess) {
  bool expanded = false;
  EXPECT_EQ(DetailsButtonText("More", expanded), "More >>");
  expanded = !expanded;
  EXPECT_EQ(DetailsButtonText("More", expanded), "<< More");
  expanded = !expanded;
  EXPECT_EQ(DetailsButtonText("More", expanded), "More >>");
  // The label is text, never a pattern.
  EXPECT_EQ(DetailsButtonText("%s %d", false), "%s %d >>");
  const auto height = [&](bool open) {
    return LayoutErrorDialog(ErrorFrame(), kShort, "x", open, FixedMetrics()).client_height;
  };
  EXPECT_EQ(height(false),
            LayoutErrorDialog(ErrorFrame(), kShort, "", false, FixedMetrics()).client_height);
  EXPECT_GT(height(true), height(false));
}

TEST(CloseApplicationLayout, ProgressBarBetweenTextAndButtonsIconAtTheRight) {
  CloseApplicationFrame frame{Frame(), {12, 100, 336, 16}};
  const CloseApplicationLayout layout = LayoutCloseApplicationDialog(frame, kLong, FixedMetrics());
  EXPECT_EQ(layout.progress, (PixelRect{12, layout.message.explanation.Bottom() + 13, 336, 25}));
  EXPECT_EQ(layout.message.buttons[0].y, layout.progress.Bottom() + 13);
  EXPECT_EQ(layout.message.client_height, layout.message.buttons[0].Bottom() + 13);
  EXPECT_EQ(layout.icon, (PixelRect{360 - 55, 9, 40, 40}));
}

TEST(AuthenticationLayout, ControlsUnderTheTextMoveByItsHeightLessTen) {
  AuthenticationFrame frame;
  frame.client_width = 360;
  frame.client_height = 200;
  frame.explanation = {12, 70, 336, 10};
  frame.below = {{12, 90, 80, 20}, {100, 90, 248, 24}, {268, 160, 80, 25}};
  for (const std::string& text : {kShort, kLong}) {
    const AuthenticationLayout layout = LayoutAuthenticationDialog(frame, text, FixedMetrics());
    const int shift = layout.text.height - 10;
    ASSERT_EQ(layout.below.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(layout.below[i].y, frame.below[i].y + shift);
      EXPECT_EQ(layout.below[i].x, frame.below[i].x);
    }
    EXPECT_EQ(layout.client_height, 200 + shift);
    EXPECT_EQ(layout.explanation.height, layout.text.height);
  }
}

}  // namespace dialog_layout_test
