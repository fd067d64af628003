// The order of the application table's rows: by one column, up or down, then by name,
// machine and registry path. Dates of the form dd/mm/yyyy sort as dates, versions part by part
// (numbers as numbers), the rest as texts; the placeholder " - " and empty cells come last
// whichever the direction.
#pragma once

#include <cstddef>
#include <vector>

#include "core/text.h"
#include "ui/gadgets.h"

namespace appcensus {

// Columns of the table that the order reads besides the chosen one.
inline constexpr int kNameColumn = 0;
inline constexpr int kVersionColumn = 1;
inline constexpr int kDateColumn = 3;
inline constexpr int kUninstallCommandColumn = 6;
inline constexpr int kRegistryPathColumn = 7;
inline constexpr int kMachineColumn = 8;
inline constexpr int kColumnCount = 9;

struct RowOrder {
  int column = kNameColumn;
  bool descending = false;

  bool operator==(const RowOrder&) const = default;
};

// The order after a click on the title of `column`: a second click on the chosen column
// reverses its direction; another column starts upwards.
RowOrder OrderAfterColumnClick(RowOrder current, int column);

// Compares two texts the way the user's language sorts them (CollateIgnoringCase in the
// program): negative, 0 or positive.
using TextComparison = int (*)(TextView a, TextView b);

// Negative when cell `a` of `column` goes before cell `b` in `order`'s direction, 0 when the
// cells alone do not decide.
int CompareCells(TextView a, TextView b, int column, bool descending, TextComparison compare);

// The indexes of `rows` in the order: by order.column, then name, machine and registry path
// upwards; rows alike in all of these keep their places.
std::vector<std::size_t> OrderedRowIndexes(const std::vector<TableRow>& rows, RowOrder order, TextComparison compare);

}  // namespace appcensus
