#include "updater/ui/section_tree.h"

#include <utility>

CSectionTree::CSectionTree(std::vector<SectionRow> rows) : rows_(std::move(rows)) {}

bool CSectionTree::Toggle(std::size_t row) {
  if (row >= rows_.size() || !rows_[row].enabled) return false;
  const bool checked = !rows_[row].checked;
  rows_[row].checked = checked;
  const int depth = rows_[row].depth;
  // Descendants: the rows below that are deeper, up to the next row that is not.
  for (std::size_t below = row + 1; below < rows_.size() && rows_[below].depth > depth; ++below)
    Set(below, checked);
  if (!checked) return true;
  // Ancestors: going up, each row shallower than every row passed so far.
  int reach = depth;
  for (std::size_t above = row; above-- > 0 && reach > 0;) {
    if (rows_[above].depth < reach) {
      reach = rows_[above].depth;
      Set(above, true);
    }
  }
  return true;
}

void CSectionTree::Set(std::size_t row, bool checked) {
  if (rows_[row].enabled) rows_[row].checked = checked;
}
