// Between the application table and the tree: table row r owns the tree nodes at flat
// positions 9r to 9r + 8, its own node first. -1 stands for "nothing selected".
#pragma once

namespace appcensus {

inline constexpr int kNodesPerApplication = 9;

// The tree position of a row's own node; -1 stays -1.
constexpr int TreePositionForRow(int row) { return row > 0 ? kNodesPerApplication * row : row; }
// The row of any node of an application (its own node or a leaf); -1 stays -1.
constexpr int RowForTreePosition(int node) { return node > 0 ? node / kNodesPerApplication : node; }

}  // namespace appcensus
