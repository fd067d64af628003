// Helpers of the inventory tests: a registry wrapper that watches and can hold calls, and a
// readable form of the activity-log calls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/activity_log.h"
#include "core/text.h"
#include "registry/registry_api.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus::testing {

// Forwards every call to another registry, records the value names queried and the machines
// connected to, and can hold connections to chosen machines until they are released.
class WatchingRegistry : public RegistryApi {
 public:
  explicit WatchingRegistry(RegistryApi& inner) : inner_(inner) {}

  // Connections to this machine (exact name) wait until Release(name) or ReleaseAll(); a
  // connection held for 10 s goes on anyway, so that a faulty pass fails instead of hanging.
  void Hold(TextView machine) {
    std::lock_guard lock(mutex_);
    held_.insert(Text(machine));
  }
  void Release(TextView machine) {
    std::lock_guard lock(mutex_);
    held_.erase(Text(machine));
    released_.notify_all();
  }
  void ReleaseAll() {
    std::lock_guard lock(mutex_);
    held_.clear();
    released_.notify_all();
  }
  // Called before each forwarded call of its kind (outside the wrapper's lock).
  std::function<void(TextView machine)> beforeConnect;
  std::function<void(TextView subKey)> beforeOpen;
  std::function<void(std::uint32_t index)> beforeEnumerate;

  std::vector<Text> QueriedValueNames() const {
    std::lock_guard lock(mutex_);
    return queried_;
  }
  void ForgetQueries() {
    std::lock_guard lock(mutex_);
    queried_.clear();
  }

  long ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) override {
    if (beforeConnect) beforeConnect(machine);
    {
      std::unique_lock lock(mutex_);
      released_.wait_for(lock, std::chrono::seconds(10), [&] { return held_.count(Text(machine)) == 0; });
    }
    return inner_.ConnectRegistry(machine, root, result);
  }
  long OpenKey(RegKey base, const char16_t* subKey, RegKey* result) override {
    if (beforeOpen) beforeOpen(subKey);
    return inner_.OpenKey(base, subKey, result);
  }
  long OpenKeyEx(RegKey base, const char16_t* subKey, std::uint32_t access, RegKey* result) override {
    return inner_.OpenKeyEx(base, subKey, access, result);
  }
  long CreateKeyEx(RegKey base, const char16_t* subKey, std::uint32_t options, std::uint32_t access, RegKey* result,
                   std::uint32_t* disposition) override {
    return inner_.CreateKeyEx(base, subKey, options, access, result, disposition);
  }
  long QueryValueEx(RegKey key, const char16_t* valueName, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataLength) override {
    {
      std::lock_guard lock(mutex_);
      queried_.emplace_back(valueName);
    }
    return inner_.QueryValueEx(key, valueName, type, data, dataLength);
  }
  long SetValueEx(RegKey key, const char16_t* valueName, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t dataLength) override {
    return inner_.SetValueEx(key, valueName, type, data, dataLength);
  }
  long EnumKeyEx(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameCount) override {
    if (beforeEnumerate) beforeEnumerate(index);
    return inner_.EnumKeyEx(key, index, name, nameCount);
  }
  long CloseKey(RegKey key) override { return inner_.CloseKey(key); }
  bool ComputerName(char16_t* buffer, std::uint32_t* count) override { return inner_.ComputerName(buffer, count); }

 private:
  RegistryApi& inner_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::set<Text> held_;
  std::vector<Text> queried_;
};

// "text|level|field" for a log line, "progress value/maximum" for a progress call (UTF-8,
// so that failures print readably).
inline std::vector<std::string> Rendered(const std::vector<RecordingActivityLog::Call>& calls) {
  std::vector<std::string> out;
  for (const auto& call : calls) {
    if (call.isProgress)
      out.push_back("progress " + std::to_string(call.value) + "/" + std::to_string(call.maximum));
    else
      out.push_back(TextToUtf8(call.text) + "|" + std::to_string(static_cast<int>(call.level)) + "|" +
                    std::to_string(call.statusField));
  }
  return out;
}

// The log lines alone, rendered.
inline std::vector<std::string> RenderedLines(const RecordingActivityLog& log) {
  std::vector<std::string> out;
  for (const auto& line : Rendered(log.Calls()))
    if (line.rfind("progress ", 0) != 0) out.push_back(line);
  return out;
}

}  // namespace appcensus::testing
