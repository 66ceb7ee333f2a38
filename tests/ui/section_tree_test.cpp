// The selection page's tree: which rows a toggle changes.

#include "updater/ui/section_tree.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

// A tree written as one letter per row: upper case checked, lower case not;
// '-' before a letter marks a disabled row. Depths are given apart.
std::vector<SectionRow> Rows(const std::string& states, const std::vector<int>& depths) {
  std::vector<SectionRow> rows;
  bool disabled = false;
  for (char c : states) {
    if (c == '-') {
      disabled = true;
      continue;
    }
    const std::size_t index = rows.size();
    rows.push_back(SectionRow{std::string(1, c), depths.at(index),
                              std::isupper(static_cast<unsigned char>(c)) != 0, !disabled});
    disabled = false;
  }
  return rows;
}

std::string States(const std::vector<SectionRow>& rows) {
  std::string states;
  for (const SectionRow& row : rows) states += row.checked ? 'X' : '.';
  return states;
}

TEST(SectionTree, ToggleFollowsTheRulesOfDescendantsAndAncestors) {
  // Rows:   a      (0)
  //           b    (1)
  //             c  (2)
  //             d  (2)
  //           e    (1)
  //         f      (0)
  const std::vector<int> depths = {0, 1, 2, 2, 1, 0};
  struct Case {
    const char* name;
    std::string before;
    std::size_t toggled;
    bool changed;
    std::string after;
  } cases[] = {
      {"checking a leaf checks its ancestors only", "abcdef", 2, true, "XXX..."},
      {"checking a middle row checks descendants and ancestors", "abcdef", 1, true, "XXXX.."},
      {"checking a root checks its whole branch", "abcdef", 0, true, "XXXXX."},
      {"unchecking a root unchecks its branch", "ABCDEF", 0, true, ".....X"},
      {"unchecking a middle row leaves its ancestors", "ABCDEF", 1, true, "X...XX"},
      {"unchecking a leaf touches nothing else", "ABCDEF", 3, true, "XXX.XX"},
      {"a disabled row does not toggle", "a-bcdef", 1, false, "......"},
      {"a disabled checked row stays checked", "A-BCDEF", 1, false, "XXXXXX"},
      {"a disabled descendant keeps its state", "AB-CDEF", 0, true, "..X..X"},
      {"a disabled ancestor keeps its state", "a-bcdef", 2, true, "X.X..."},
      {"a row beyond the tree changes nothing", "abcdef", 6, false, "......"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSectionTree tree(Rows(c.before, depths));
    EXPECT_EQ(tree.Toggle(c.toggled), c.changed);
    EXPECT_EQ(States(tree.Rows()), c.after);
  }
}

TEST(SectionTree, TogglingTwiceUnchecksWhatTheCheckChecked) {
  CSectionTree tree(Rows("abc", {0, 1, 0}));
  EXPECT_TRUE(tree.Toggle(0));
  EXPECT_EQ(States(tree.Rows()), "XX.");
  EXPECT_TRUE(tree.Toggle(0));
  EXPECT_EQ(States(tree.Rows()), "...");
  EXPECT_TRUE(CSectionTree().Empty());
}

}  // namespace
