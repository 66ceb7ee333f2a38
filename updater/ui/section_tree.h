#pragma once
// The check states of the selection page's tree. The rows are kept in
// depth-first order; a row's parent is the nearest row above it with a smaller
// depth. Checking a row checks its descendants and its ancestors; unchecking
// it unchecks its descendants only. A disabled row keeps its state: it cannot
// be toggled, and a neighbour's toggle passes it by.

#include <cstddef>
#include <vector>

#include "updater/ui/wizard_view.h"

class CSectionTree {
 public:
  CSectionTree() = default;
  explicit CSectionTree(std::vector<SectionRow> rows);

  const std::vector<SectionRow>& Rows() const { return rows_; }
  bool Empty() const { return rows_.empty(); }

  // Toggles a row by the rules above; false, and nothing changed, for a
  // disabled row or a row that does not exist.
  bool Toggle(std::size_t row);

 private:
  void Set(std::size_t row, bool checked);

  std::vector<SectionRow> rows_;
};
