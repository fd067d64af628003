#include "ui/application_views.h"

#include <algorithm>
#include <memory>
#include <span>

#include "core/differing_applications.h"
#include "core/name_filter.h"
#include "ui/image_names.h"
#include "ui/view_navigation.h"

namespace appcensus {

TableRow ApplicationTableRow(const ApplicationRecord& record) {
  return TableRow{{record.DisplayName, record.DisplayVersion, record.ProductCode, record.InstallDate,
                   record.InstallSource, record.InstallLocation, record.UninstallString, EntryRegistryPath(record),
                   record.Machine}};
}

std::array<TreeNode, 9> ApplicationBranch(const ApplicationRecord& record) {
  auto image = [](const char16_t* name) { return NamedId(name, 0); };
  return {{
      {record.DisplayName, image(kImageApplication), 0},
      {u"Version : " + record.DisplayVersion, image(kImageVersion), 1},
      {u"Code produit : " + record.ProductCode, image(kImageProductCode), 1},
      {u"Date d'installation : " + record.InstallDate, image(kImageInstallDate), 1},
      {u"Source d'installation : " + record.InstallSource, image(kImageSource), 1},
      {u"Emplacement de destination : " + record.InstallLocation, image(kImageDestination), 1},
      {u"Commande de désinstallation : " + record.UninstallString, image(kImageUninstallCommand), 1},
      {u"Emplacement dans base de registre : " + EntryRegistryPath(record), image(kImageRegistryPath), 1},
      {u"Machine : " + record.Machine, image(kImageMachine), 1},
  }};
}

Text ApplicationCountText(std::size_t count) {
  return DecimalText(static_cast<std::int64_t>(count)) + u" applications";
}

bool ApplicationViews::MatchesNameFilter(TextView name) const { return NameMatchesFilter(name, searchText_.Get()); }

void ApplicationViews::Fill(const ApplicationTable& table) {
  // A copy taken under the table's lock: the fill never walks the live table.
  std::vector<ApplicationRecord> records = table.Snapshot();
  if (!records.empty()) log_.LogActivity(ApplicationCountText(records.size()), ActivityLevel::None, 3);
  if (differencesOnly_) records = DifferingApplications(std::move(records));
  Show(records, searchText_.Get());  // the search text read once, for every record alike
  SetBusy(false);
}

void ApplicationViews::Show(const std::vector<ApplicationRecord>& records, const Text& filter) {
  struct Content {
    std::vector<TableRow> rows;
    std::vector<TreeNode> nodes;
    std::size_t shown = 0;  // rows handed to the views so far
  };
  std::vector<const ApplicationRecord*> passed;
  std::vector<TableRow> rows;
  for (const ApplicationRecord& record : records) {
    if (!NameMatchesFilter(record.DisplayName, filter)) continue;
    passed.push_back(&record);
    rows.push_back(ApplicationTableRow(record));
  }
  auto content = std::make_shared<Content>();
  for (;;) {
    const RowOrder order = Order();
    const std::vector<std::size_t> indexes = OrderedRowIndexes(rows, order, compare_);
    content->rows.clear();
    content->nodes.clear();
    for (std::size_t i : indexes) {
      content->rows.push_back(rows[i]);
      for (TreeNode& node : ApplicationBranch(*passed[i])) content->nodes.push_back(std::move(node));
    }
    // A click on a column title while the rows were sorted: sorted again in its order, so that
    // the rows always follow the title's arrow.
    std::lock_guard lock(mutex_);
    if (order != order_) continue;
    shownFilter_ = filter;
    // One piece of work, emptying the views and filling them again, so that no other fill can
    // come in between; long lists go in a few hundred rows per drain, so that the window keeps
    // answering its messages.
    channel_.PostSteps([content](Gadgets& gadgets) {
      const std::size_t first = content->shown;
      if (first == 0) {
        gadgets.ClearTable();
        gadgets.ClearTree();
      }
      const std::size_t end = std::min(content->rows.size(), first + kRowsPerDrain);
      const std::span<const TableRow> shownRows(content->rows);
      const std::span<const TreeNode> nodes(content->nodes);
      gadgets.AppendTableRows(shownRows.subspan(first, end - first));
      gadgets.AppendTreeNodes(nodes.subspan(first * kNodesPerApplication, (end - first) * kNodesPerApplication));
      // Shading follows the shown rows only: filtered records never reached the list.
      for (std::size_t row = first + first % 2; row < end; row += 2)
        gadgets.SetRowBackground(static_cast<int>(row), kShadedRowColour);
      content->shown = end;
      return end == content->rows.size();
    });
    return;
  }
}

RowOrder ApplicationViews::SortByColumn(int column, const ApplicationTable& table) {
  RowOrder order;
  bool busy = false;
  Text filter;
  {
    std::lock_guard lock(mutex_);
    order = order_ = OrderAfterColumnClick(order_, column);
    busy = busy_;
    filter = shownFilter_;
  }
  if (busy) return order;
  channel_.Post([](Gadgets& gadgets) { gadgets.SetViewsVisible(false); });
  Show(differencesOnly_ ? DifferingApplications(table.Snapshot()) : table.Snapshot(), filter);
  channel_.Post([](Gadgets& gadgets) { gadgets.SetViewsVisible(true); });
  return order;
}

RowOrder ApplicationViews::Order() const {
  std::lock_guard lock(mutex_);
  return order_;
}

void ApplicationViews::OrderRecords(std::vector<ApplicationRecord>& records) const {
  std::vector<TableRow> rows;
  rows.reserve(records.size());
  for (const ApplicationRecord& record : records) rows.push_back(ApplicationTableRow(record));
  std::vector<ApplicationRecord> ordered;
  ordered.reserve(records.size());
  for (std::size_t i : OrderedRowIndexes(rows, Order(), compare_)) ordered.push_back(std::move(records[i]));
  records = std::move(ordered);
}

void ApplicationViews::Clear() {
  lastMachineName_.Set(u"");
  channel_.Post([](Gadgets& gadgets) {
    gadgets.ClearTable();
    gadgets.ClearTree();
  });
  log_.LogActivity(u"", ActivityLevel::None, 3);
}

void ApplicationViews::SetBusy(bool busy) {
  {
    std::lock_guard lock(mutex_);
    busy_ = busy;
  }
  if (busy) log_.LogActivity(u"Traitement en cours...", ActivityLevel::InProgress, 1);
  channel_.Post([visible = !busy](Gadgets& gadgets) { gadgets.SetViewsVisible(visible); });
}

}  // namespace appcensus
