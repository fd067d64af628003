#include "ui/row_order.h"

#include <algorithm>
#include <numeric>

#include "core/application_record.h"

namespace appcensus {

namespace {

bool IsMissing(TextView cell) { return cell.empty() || cell == kPlaceholder; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// dd/mm/yyyy as the number yyyymmdd; -1 for any other text.
long DateKey(TextView cell) {
  if (cell.size() != 10 || cell[2] != u'/' || cell[5] != u'/') return -1;
  long day = 0, month = 0, year = 0;
  for (std::size_t i : {0, 1, 3, 4, 6, 7, 8, 9}) {
    if (!IsDigit(cell[i])) return -1;
    long& part = i < 2 ? day : i < 5 ? month : year;
    part = part * 10 + (cell[i] - u'0');
  }
  return year * 10000 + month * 100 + day;
}

// A run of digits or a run of other characters, from `at` on.
TextView NextPart(TextView text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && IsDigit(text[end]) == IsDigit(text[at])) ++end;
  return text.substr(at, end - at);
}

// Whole numbers of any length: without their leading zeros, the longer is the larger.
int CompareNumbers(TextView a, TextView b) {
  a.remove_prefix(std::min(a.find_first_not_of(u'0'), a.size()));
  b.remove_prefix(std::min(b.find_first_not_of(u'0'), b.size()));
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

// Part by part: numbers as numbers, before any other part; the other parts as texts; a
// version that is the beginning of the other first.
int CompareVersions(TextView a, TextView b, TextComparison compare) {
  std::size_t atA = 0, atB = 0;
  while (atA < a.size() && atB < b.size()) {
    const TextView partA = NextPart(a, atA), partB = NextPart(b, atB);
    const bool numberA = IsDigit(partA[0]), numberB = IsDigit(partB[0]);
    int result = numberA != numberB ? (numberA ? -1 : 1) : numberA ? CompareNumbers(partA, partB) : compare(partA, partB);
    if (result != 0) return result;
    atA += partA.size();
    atB += partB.size();
  }
  return (atA < a.size()) - (atB < b.size());
}

int CompareValues(TextView a, TextView b, int column, TextComparison compare) {
  if (column == kVersionColumn) return CompareVersions(a, b, compare);
  if (column == kDateColumn) {
    const long dateA = DateKey(a), dateB = DateKey(b);
    if (dateA >= 0 && dateB >= 0) return dateA < dateB ? -1 : dateA > dateB;
    if ((dateA >= 0) != (dateB >= 0)) return dateA >= 0 ? -1 : 1;  // dates before other texts
  }
  return compare(a, b);
}

}  // namespace

RowOrder OrderAfterColumnClick(RowOrder current, int column) {
  if (column == current.column) return {column, !current.descending};
  return {column, false};
}

int CompareCells(TextView a, TextView b, int column, bool descending, TextComparison compare) {
  const bool missingA = IsMissing(a), missingB = IsMissing(b);
  if (missingA || missingB) return missingA == missingB ? 0 : (missingA ? 1 : -1);
  const int result = CompareValues(a, b, column, compare);
  return descending ? -result : result;
}

std::vector<std::size_t> OrderedRowIndexes(const std::vector<TableRow>& rows, RowOrder order, TextComparison compare) {
  std::vector<std::size_t> indexes(rows.size());
  std::iota(indexes.begin(), indexes.end(), std::size_t{0});
  const int column = std::clamp(order.column, 0, kColumnCount - 1);
  std::stable_sort(indexes.begin(), indexes.end(), [&](std::size_t a, std::size_t b) {
    const auto& cellsA = rows[a].cells;
    const auto& cellsB = rows[b].cells;
    int result = CompareCells(cellsA[column], cellsB[column], column, order.descending, compare);
    for (int next : {kNameColumn, kMachineColumn, kRegistryPathColumn})
      if (result == 0 && next != column) result = CompareCells(cellsA[next], cellsB[next], next, false, compare);
    return result < 0;
  });
  return indexes;
}

}  // namespace appcensus
