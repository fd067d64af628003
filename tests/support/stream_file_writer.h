// Export files through the C++ library, for systems other than Windows (and the tests
// there): a new file is written beside the target and then renamed over it.
#pragma once

#include "export/export_applications.h"

namespace appcensus {

class StreamExportFileWriter : public ExportFileWriter {
 public:
  // `folder`: the export folder, paths separated by "/".
  explicit StreamExportFileWriter(Text folder) : folder_(std::move(folder)) {}

  Text PrepareFilePath(TextView fileName) override;
  bool WriteWholeFile(TextView path, std::string_view bytes) override;

 private:
  Text folder_;
};

}  // namespace appcensus
