// The rich-text label on the screen: its markup drawn with the toolkit (bold,
// colours, a rule, a link), photographed; a click on the link hands its
// address to the opener, a click beside it opens nothing.

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/sizer.h>

#include <string>
#include <vector>

#include "tests/ui_wx/dialog_driver.h"
#include "updater/ui/wx/rich_text_view.h"

namespace rich_text_view_gtest {

constexpr char kMarkup[] =
    "<b>Velmora Browser 2.0</b> is ready.<br>"
    "<font color=\"#206020\">Faster pages</font>, <i>fewer crashes</i> and "
    "<font color=\"red\">one fix</font> for &lt;b&gt; in titles.<hr>"
    "<a href=\"https://example.org/notes\">Read the release notes</a>";

class RichTextView : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(StartWindowTests(&why)) << why;
  }
};

TEST_F(RichTextView, DrawsTheMarkupAndOpensOnlyItsLink) {
  std::vector<std::string> opened;
  wxDialog dialog(nullptr, wxID_ANY, "Rich text", wxDefaultPosition, wxSize(420, 200));
  auto* view =
      new CRichTextView(&dialog, wxID_ANY, wxPoint(10, 10), wxSize(400, 150),
                        [&opened](const std::string& address) { opened.push_back(address); });
  view->SetMarkup(kMarkup);
  const auto link_middle = [view] {
    const auto& links = view->Label().LastLayout().links;
    if (links.empty()) return wxPoint(-1, -1);
    const auto& rect = links.front().rect;
    return wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
  };
  DialogDriver driver(dialog);
  driver.Screenshot("rich_text")
      .ClickAt(*view, [] { return wxPoint(395, 5); })  // beside every text: nothing opens
      .ClickAt(*view, link_middle)
      .Then([&dialog] { dialog.EndModal(wxID_OK); }, [&opened] { return !opened.empty(); });
  EXPECT_EQ(driver.Run(), wxID_OK);
  EXPECT_EQ(driver.Errors(), "");

  const auto& layout = view->Label().LastLayout();
  ASSERT_EQ(layout.links.size(), 1u);
  EXPECT_EQ(layout.rules.size(), 1u);
  EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/notes"}));
  // The literal tag is text.
  bool literal = false;
  for (const auto& text : layout.texts)
    literal = literal || text.text.find("<b>") != std::string::npos;
  EXPECT_TRUE(literal);
}

}  // namespace rich_text_view_gtest
