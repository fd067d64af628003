// An in-memory registry of several simulated machines, answering as the Win32 registry
// functions do. The local machine is reached through the predefined roots, others through
// ConnectRegistry by name. Faults per machine: unreachable, a round-trip cost (a connection
// four, any other call one), a connection lost after k calls or dropped at once, a connection
// refused with a chosen status, refused keys.
// It can answer as to a 32-bit program (keys below HKEY_LOCAL_MACHINE\SOFTWARE open in the
// WOW6432Node view unless KEY_WOW64_64KEY is asked for). Safe to call from several threads.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "registry/registry_layer.h"
#include "registry/scoped_key.h"

namespace appcensus {

// Registry data of a text (UTF-16 units, little-endian, with the terminator) and of a DWORD.
inline std::vector<std::uint8_t> StringData(TextView text) {
  std::vector<std::uint8_t> data;
  for (char16_t unit : Text(text) + u'\0') data.insert(data.end(), {std::uint8_t(unit & 0xFF), std::uint8_t(unit >> 8)});
  return data;
}
inline std::vector<std::uint8_t> DwordData(std::uint32_t value) {
  return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
}

class MemoryMachine {
 public:
  struct Faults {
    bool unreachable = false;           // the connection fails: network path not found
    std::chrono::microseconds roundTrip{0};
    int loseConnectionAfterCalls = -1;  // from then on every call fails (-1: never)
    long connectStatus = 0;             // the connection fails with this status (0: it does not)
  };

  MemoryMachine(std::mutex& mutex, TextView computerName) : mutex_(mutex), computerName_(computerName) {
    names_.push_back(UpperCase(computerName));
    SetString(u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName",
              u"ComputerName", computerName);
  }

  // Test set-up, by full textual path ("HKEY_LOCAL_MACHINE\..."); keys are created as needed.
  void CreateKey(TextView keyPath) { OnKey(keyPath, true, [](Key&) {}); }
  void SetValue(TextView keyPath, TextView valueName, std::uint32_t type, std::vector<std::uint8_t> data) {
    OnKey(keyPath, true, [&](Key& key) { key.values[UpperCase(valueName)] = Value{type, std::move(data)}; });
  }
  void SetString(TextView keyPath, TextView valueName, TextView text) {
    SetValue(keyPath, valueName, reg::kSz, StringData(text));
  }
  // Opening this key is refused from now on.
  void DenyAccess(TextView keyPath) { OnKey(keyPath, true, [](Key& key) { key.denied = true; }); }
  // Reads a value back (for tests); false when missing.
  bool GetValue(TextView keyPath, TextView valueName, std::uint32_t* type, std::vector<std::uint8_t>* data) {
    bool found = false;
    OnKey(keyPath, false, [&](Key& key) {
      found = key.values.count(UpperCase(valueName)) > 0;
      if (found && type) *type = key.values[UpperCase(valueName)].type;
      if (found && data) *data = key.values[UpperCase(valueName)].data;
    });
    return found;
  }
  void SetFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    calls_ = 0;
  }
  // Every connection made so far is lost; a new one can be made.
  void DropConnections() {
    std::lock_guard lock(mutex_);
    ++generation_;
  }
  // Another name under which the machine answers (an address, a qualified host name).
  void AddAlias(TextView alias) {
    std::lock_guard lock(mutex_);
    names_.push_back(UpperCase(alias));
  }

 private:
  friend class MemoryRegistry;
  struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  struct Key {
    Text name;                     // as created
    std::map<Text, Value> values;  // by upper-cased name
    bool denied = false;
  };
  // Keys are stored by path: the root's number, then "\" and the upper-cased name of each
  // component, so that the subkeys of a key follow it in the order of their names.
  static Text RootPath(RegKey root) { return Text(1, static_cast<char16_t>(u'0' + (root & 0xF))); }

  // Follows `sub` below the key at `path`, creating missing keys when asked (not below a
  // denied key when `honourDenial`). A trailing separator is tolerated, as the platform
  // does; any other empty component makes the path invalid. A status code.
  long Walk(Text& path, TextView sub, bool create, bool honourDenial) {
    for (std::size_t start = 0, end = 0; start < sub.size(); start = end + 1) {
      end = std::min(sub.find(u'\\', start), sub.size());
      const Text child = path + u"\\" + UpperCase(sub.substr(start, end - start));
      if (end == start && end + 1 < sub.size()) return reg::kBadPathName;
      if (end == start) break;
      if (!keys_.count(child) && !create) return reg::kFileNotFound;
      if (!keys_.count(child) && honourDenial && keys_[path].denied) return reg::kAccessDenied;
      if (!keys_.count(child)) keys_[child].name = Text(sub.substr(start, end - start));
      path = child;
    }
    return honourDenial && keys_[path].denied ? reg::kAccessDenied : reg::kSuccess;
  }
  // Runs `action` on the key of a full textual path (created when asked); false when there
  // is no such key.
  bool OnKey(TextView keyPath, bool create, const std::function<void(Key&)>& action) {
    std::lock_guard lock(mutex_);
    Text path = RootPath(RootKeyOfPath(keyPath));
    if (RootKeyOfPath(keyPath) == 0 || Walk(path, SubKeyOfPath(keyPath), create, false) != reg::kSuccess) return false;
    action(keys_[path]);
    return true;
  }

  std::mutex& mutex_;  // the registry's
  Text computerName_;
  std::vector<Text> names_;  // upper-cased: the computer name, then the aliases
  std::map<Text, Key> keys_;
  Faults faults_;
  int calls_ = 0;
  int generation_ = 0;  // of its connections
};

class MemoryRegistry : public RegistryApi {
 public:
  explicit MemoryRegistry(TextView localComputerName = u"LOCALPC") { AddMachine(localComputerName); }

  MemoryMachine& Local() { return *machines_.front(); }
  MemoryMachine& AddMachine(TextView computerName) {
    auto machine = std::make_unique<MemoryMachine>(mutex_, computerName);  // set up before it can be reached
    std::lock_guard lock(mutex_);
    return *machines_.emplace_back(std::move(machine));
  }
  // Handles and connections open right now (predefined roots excluded).
  std::size_t OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
  }
  // Calls of one kind made so far.
  enum Kind { kConnect, kOpen, kQuery, kEnumerate, kClose, kOther, kKinds };
  std::size_t CallCount(Kind kind) const { return byKind_[kind]; }
  // Answer as to a 32-bit program on 64-bit Windows.
  std::atomic<bool> thirtyTwoBitProgram{false};
  // Called with the machine's or the value's name before each connection or query, outside the
  // registry's lock (they may wait); set them while no call is under way.
  std::function<void(const Text&)> beforeConnect, beforeQuery;

  long ConnectRegistry(const char16_t* machineName, RegKey root, RegKey* result) override {
    if (beforeConnect) beforeConnect(machineName);
    std::unique_lock lock(mutex_);
    ++byKind_[kConnect];
    *result = 0;
    const Text name = UpperCase(machineName);
    const auto answers = [&](const auto& machine) {
      return name.empty() ? machine == machines_.front() : std::count(machine->names_.begin(), machine->names_.end(), name);
    };
    const auto found = std::find_if(machines_.begin(), machines_.end(), answers);
    MemoryMachine* target = found == machines_.end() ? nullptr : found->get();
    if (target == nullptr || target->faults_.unreachable) return reg::kBadNetPath;
    long status = Enter(*target, lock, 4);
    if (status == reg::kSuccess && target->faults_.connectStatus != 0) status = target->faults_.connectStatus;
    if (status == reg::kSuccess) *result = NewHandle(Handle{target, MemoryMachine::RootPath(root), target->generation_});
    return status;
  }
  long OpenKey(RegKey base, const char16_t* subKey, RegKey* result) override {
    return Open(base, subKey, false, true, 0, result);
  }
  long OpenKeyEx(RegKey base, const char16_t* subKey, std::uint32_t access, RegKey* result) override {
    return Open(base, subKey, false, false, access, result);
  }
  long CreateKeyEx(RegKey base, const char16_t* subKey, std::uint32_t, std::uint32_t access, RegKey* result,
                   std::uint32_t*) override {
    return Open(base, subKey, true, false, access, result);
  }
  long QueryValueEx(RegKey key, const char16_t* valueName, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataLength) override {
    if (beforeQuery) beforeQuery(valueName ? valueName : u"");
    return OnKey(key, kQuery, [&](const Handle& handle) {
      const auto& values = handle.Key().values;
      const auto found = values.find(UpperCase(valueName ? valueName : u""));
      if (found == values.end()) return reg::kFileNotFound;
      const auto& bytes = found->second.data;
      const bool fits = data == nullptr || *dataLength >= bytes.size();
      if (data != nullptr && fits) std::copy(bytes.begin(), bytes.end(), data);
      if (type) *type = found->second.type;
      if (dataLength) *dataLength = static_cast<std::uint32_t>(bytes.size());
      return fits ? reg::kSuccess : reg::kMoreData;
    });
  }
  long SetValueEx(RegKey key, const char16_t* valueName, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t dataLength) override {
    return OnKey(key, kOther, [&](const Handle& handle) {
      handle.Key().values[UpperCase(valueName ? valueName : u"")] = {type, {data, data + dataLength}};
      return reg::kSuccess;
    });
  }
  long EnumKeyEx(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameCount) override {
    return OnKey(key, kEnumerate, [&](const Handle& handle) {
      // The subkeys follow their key in the order of their names; deeper keys are skipped.
      const Text prefix = handle.path + u"\\";
      const auto& keys = handle.machine->keys_;
      for (auto it = keys.lower_bound(prefix); it != keys.end() && it->first.starts_with(prefix); ++it) {
        if (it->first.find(u'\\', prefix.size()) != Text::npos || index-- > 0) continue;
        const Text& found = it->second.name;
        if (found.size() + 1 > *nameCount) return reg::kMoreData;
        std::copy(found.c_str(), found.c_str() + found.size() + 1, name);
        *nameCount = static_cast<std::uint32_t>(found.size());
        return reg::kSuccess;
      }
      return reg::kNoMoreItems;
    });
  }
  long CloseKey(RegKey key) override {
    const auto close = [&](const Handle&) { return handles_.erase(key) || IsPredefinedRoot(key) ? reg::kSuccess : reg::kInvalidHandle; };
    return OnKey(key, kClose, close, true);
  }
  bool ComputerName(char16_t* buffer, std::uint32_t* count) override {
    std::lock_guard lock(mutex_);
    const Text& name = machines_.front()->computerName_;
    const bool fits = name.size() < *count;
    if (fits) std::copy(name.c_str(), name.c_str() + name.size() + 1, buffer);
    *count = static_cast<std::uint32_t>(fits ? name.size() : name.size() + 1);
    return fits;
  }

 private:
  struct Handle {
    MemoryMachine* machine = nullptr;
    Text path;
    int generation = 0;  // of the connection it was opened through
    MemoryMachine::Key& Key() const { return machine->keys_[path]; }
  };
  // One call on a machine: its round trips, then its lost-connection rule.
  long Enter(MemoryMachine& machine, std::unique_lock<std::mutex>& lock, int roundTrips = 1) {
    const auto wait = machine.faults_.roundTrip * roundTrips;  // read under the lock: a test may change it
    lock.unlock();
    std::this_thread::sleep_for(wait);
    lock.lock();
    const int limit = machine.faults_.loseConnectionAfterCalls;
    return ++machine.calls_ > limit && limit >= 0 ? reg::kServerUnavailable : reg::kSuccess;
  }
  // Counts the call and runs `action` on the handle's key once its machine lets the call
  // through (a close goes through even a lost connection). The predefined roots are the
  // local registry, reached without a connection and free of the machine's faults.
  long OnKey(RegKey key, Kind kind, const std::function<long(const Handle&)>& action, bool evenWhenLost = false) {
    std::unique_lock lock(mutex_);
    ++byKind_[kind];
    Handle handle{machines_.front().get(), MemoryMachine::RootPath(key)};
    if (!IsPredefinedRoot(key) && !handles_.count(key)) return reg::kInvalidHandle;
    if (!IsPredefinedRoot(key)) handle = handles_[key];
    long status = IsPredefinedRoot(key) ? reg::kSuccess : Enter(*handle.machine, lock);
    if (status == reg::kSuccess && handle.generation != handle.machine->generation_) status = reg::kServerUnavailable;
    return status == reg::kSuccess || evenWhenLost ? action(handle) : status;
  }
  long Open(RegKey base, const char16_t* subKey, bool create, bool sameWhenEmpty, std::uint32_t access,
            RegKey* result) {
    *result = 0;
    Text sub(subKey ? subKey : u"");
    // A 32-bit program's keys below HKEY_LOCAL_MACHINE\SOFTWARE open in the 32-bit view.
    const Text upper = UpperCase(sub);
    if (thirtyTwoBitProgram && !(access & reg::kKeyWow64_64Key) && (base == kRootLocalMachine || IsLocalMachine(base)) &&
        upper.starts_with(u"SOFTWARE\\") && !upper.starts_with(u"SOFTWARE\\WOW6432NODE"))
      sub.insert(9, u"WOW6432Node\\");
    return OnKey(base, kOpen, [&](const Handle& handle) {
      Text path = handle.path;
      const bool same = sameWhenEmpty && sub.empty();
      const long status = same ? reg::kSuccess : handle.machine->Walk(path, sub, create, true);
      if (status == reg::kSuccess) *result = same ? base : NewHandle(Handle{handle.machine, path, handle.generation});
      return status;
    });
  }
  bool IsLocalMachine(RegKey key) {
    std::lock_guard lock(mutex_);
    return handles_.count(key) && handles_[key].path == MemoryMachine::RootPath(kRootLocalMachine);
  }
  RegKey NewHandle(Handle handle) {
    handles_[lastHandle_ += 4] = std::move(handle);
    return lastHandle_;
  }

  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<MemoryMachine>> machines_;
  std::map<RegKey, Handle> handles_;
  RegKey lastHandle_ = 0x1000;
  std::array<std::atomic<std::size_t>, kKinds> byKind_{};
};

}  // namespace appcensus
