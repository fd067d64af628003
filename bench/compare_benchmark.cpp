// `--compare` of a machine's entries against an earlier json output of as many, apart from
// reading the machine: reading the earlier file, comparing, and the document of the
// differences, in each format. The file is the json of the same entries with 1 % removed, 1 %
// added and 1 % upgraded. Prints figures (best and median of 25 runs); asserts nothing.
// Runs natively:
//   compare_benchmark [entries]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/inventory_compare.h"

using namespace appcensus;
using namespace appcensus::cli;
using namespace std::chrono;

namespace {

ApplicationRecord Entry(int i) {
  const Text n = DecimalText(i);
  ApplicationRecord record{u"Application " + n, u"1." + n + u".0", u"\\\\depot\\setup\\" + n, u"12/03/2026",
                           u"MsiExec.exe /X{" + n + u"}", u"C:\\Program Files\\Application " + n, u"{" + n + u"}",
                           u"SRV1", u"{" + n + u"}"};
  if (i % 3 == 1) record.UninstallKeyPath = kUninstallKeyPath32;
  record.Extras = {u"Brelmont", u"2048", u"0", u"", u"", u"1", u"q.exe /x", u"C:\\icons\\" + n + u".ico"};
  return record;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
  std::vector<ApplicationRecord> earlier, now;
  for (int i = 0; i < count; ++i) {
    if (i % 100 != 0) earlier.push_back(Entry(i));   // 1 % added since
    if (i % 100 != 50) now.push_back(Entry(i));      // 1 % removed since
    if (i % 100 == 25) now.back().DisplayVersion = u"2.0";  // 1 % upgraded
  }
  RecordOutput json(OutputFormat::Json);
  const std::string file = json.Opening() + json.Records(earlier) + json.Closing();
  std::printf("%d entries now against a file of %zu entries (%zu bytes)\n", count, earlier.size(), file.size());

  for (const OutputFormat format : {OutputFormat::Json, OutputFormat::Tsv, OutputFormat::Csv}) {
    std::vector<double> read, compared, total;
    std::size_t bytes = 0;
    for (int run = 0; run < 25; ++run) {
      const auto start = steady_clock::now();
      std::string error;
      const auto comparison = InventoryComparison::Read(file, u"SRV1", error);
      const auto afterRead = steady_clock::now();
      if (!comparison) return std::printf("refused: %s\n", error.c_str()), 1;
      const std::string document = DifferenceDocument(format, comparison->Compare(u"SRV1", now, nullptr, format));
      const auto end = steady_clock::now();
      bytes = document.size();
      read.push_back(duration<double, std::milli>(afterRead - start).count());
      compared.push_back(duration<double, std::milli>(end - afterRead).count());
      total.push_back(duration<double, std::milli>(end - start).count());
    }
    for (auto* figures : {&read, &compared, &total}) std::ranges::sort(*figures);
    std::printf("%s: %.1f ms best, %.1f ms median (reading the file %.1f ms, comparing and writing %.1f ms), %zu bytes\n",
                format == OutputFormat::Json ? "json" : format == OutputFormat::Tsv ? "tsv " : "csv ", total.front(),
                total[total.size() / 2], read[read.size() / 2], compared[compared.size() / 2], bytes);
  }
  return 0;
}
