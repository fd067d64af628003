// What the export tests share: a scratch folder, this platform's real file writer, and
// recording stand-ins for the prompt and the shell.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/application_record.h"
#include "export/export_applications.h"

namespace appcensus::testing {

// A new empty folder under the system's temporary folder, removed with its content.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Text PathText(const std::filesystem::path& path);
std::filesystem::path TextPath(TextView text);

// Win32ExportFileWriter on Windows, StreamExportFileWriter elsewhere.
std::unique_ptr<ExportFileWriter> PlatformWriter(const std::filesystem::path& folder);

// The whole content of a file; nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

class RecordingOpener : public DocumentOpener {
 public:
  void Open(TextView path) override { opened.emplace_back(path); }
  std::vector<Text> opened;
};

// Answers each prompt with `answer`; no answer stands for Escape (the empty text).
class ScriptedPrompt : public PrefixPrompt {
 public:
  struct Question {
    Text title;
    Text message;
    Text preset;
  };
  Text Ask(TextView title, TextView message, TextView preset) override {
    questions.push_back(Question{Text(title), Text(message), Text(preset)});
    if (whileOpen) whileOpen();
    return answer.value_or(Text());
  }
  std::optional<Text> answer;
  std::function<void()> whileOpen;  // what other threads do while the prompt is shown
  std::vector<Question> questions;
};

ApplicationRecord SampleRecord(TextView name, TextView keyName, TextView machine = u"SRV2");

}  // namespace appcensus::testing
