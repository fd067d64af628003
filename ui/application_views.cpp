#include "ui/application_views.h"

#include <memory>

#include "core/name_filter.h"
#include "ui/image_names.h"

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
  channel_.Post([](Gadgets& gadgets) {
    gadgets.ClearTable();
    gadgets.ClearTree();
  });
  // A copy taken under the table's lock: the fill never walks the live table.
  const std::vector<ApplicationRecord> records = table.Snapshot();
  if (!records.empty()) {
    log_.LogActivity(ApplicationCountText(records.size()), ActivityLevel::None, 3);

    struct Content {
      std::vector<TableRow> rows;
      std::vector<TreeNode> nodes;
    };
    auto content = std::make_shared<Content>();
    content->rows.reserve(records.size());
    content->nodes.reserve(records.size() * 9);
    for (const ApplicationRecord& record : records) {
      if (!MatchesNameFilter(record.DisplayName)) continue;  // read again for every record
      content->rows.push_back(ApplicationTableRow(record));
      for (TreeNode& node : ApplicationBranch(record)) content->nodes.push_back(std::move(node));
    }
    if (!content->rows.empty()) {
      channel_.Post([content](Gadgets& gadgets) {
        gadgets.AppendTableRows(content->rows);
        gadgets.AppendTreeNodes(content->nodes);
        // Shading follows the shown rows only: filtered records never reached the list.
        for (std::size_t row = 0; row < content->rows.size(); row += 2)
          gadgets.SetRowBackground(static_cast<int>(row), kShadedRowColour);
      });
    }
  }
  SetBusy(0);
}

void ApplicationViews::Clear() {
  lastMachineName_.Set(u"");
  channel_.Post([](Gadgets& gadgets) {
    gadgets.ClearTable();
    gadgets.ClearTree();
  });
  log_.LogActivity(u"", ActivityLevel::None, 3);
}

void ApplicationViews::SetBusy(int busy) {
  if (busy != 0) log_.LogActivity(u"Traitement en cours...", ActivityLevel::InProgress, 1);
  channel_.Post([visible = busy == 0](Gadgets& gadgets) { gadgets.SetViewsVisible(visible); });
}

}  // namespace appcensus
