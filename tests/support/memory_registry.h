// An in-memory registry of several simulated machines, answering as the Win32 registry
// functions do (status codes, ERROR_MORE_DATA, sizes in bytes for data and in characters
// for names). The local machine is reached through the predefined roots; other machines
// through ConnectRegistry by name (letter case ignored). Faults can be injected per
// machine: unreachable, refused, a delay per call, a connection lost after k calls, and
// keys whose opening is refused. Safe to call from several threads.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/text.h"
#include "registry/registry_api.h"

namespace appcensus {

inline constexpr char16_t kActiveComputerNameKey[] =
    u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";

class MemoryRegistry;

class MemoryMachine {
 public:
  struct Faults {
    bool unreachable = false;          // the connection fails: network path not found
    bool refused = false;              // the connection fails: access denied
    std::chrono::milliseconds delayPerCall{0};
    int loseConnectionAfterCalls = -1;  // from then on every call fails (-1: never)
  };

  const Text& ComputerName() const { return computerName_; }

  // Test set-up, by full textual path ("HKEY_LOCAL_MACHINE\..."); keys are created as needed.
  void CreateKey(TextView keyPath);
  void SetValue(TextView keyPath, TextView valueName, std::uint32_t type, std::vector<std::uint8_t> data);
  void SetString(TextView keyPath, TextView valueName, TextView text, std::uint32_t type = 1);
  void SetDword(TextView keyPath, TextView valueName, std::uint32_t value);
  // Opening this key is refused from now on.
  void DenyAccess(TextView keyPath);
  // Reads a value back (for tests); false when missing.
  bool GetValue(TextView keyPath, TextView valueName, std::uint32_t* type, std::vector<std::uint8_t>* data) const;
  bool KeyExists(TextView keyPath) const;

  void SetFaults(const Faults& faults);
  // Names other than the computer name under which the machine answers (an address, a
  // qualified host name).
  void AddAlias(TextView alias);

 private:
  friend class MemoryRegistry;
  struct Value {
    Text name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  struct Node {
    Text name;
    std::map<Text, std::unique_ptr<Node>> children;  // keyed by upper-case name: sorted enumeration
    std::vector<Value> values;
    bool denied = false;
    Value* FindValue(TextView valueName);
  };

  MemoryMachine(MemoryRegistry& owner, TextView computerName);
  Node* Root(RegKey predefined);
  Node* Walk(TextView keyPath, bool create);

  MemoryRegistry& owner_;
  Text computerName_;
  std::vector<Text> aliases_;
  std::array<std::unique_ptr<Node>, 6> hives_;
  Faults faults_;
  int calls_ = 0;
};

class MemoryRegistry : public RegistryApi {
 public:
  explicit MemoryRegistry(TextView localComputerName = u"LOCALPC");
  ~MemoryRegistry() override;

  MemoryMachine& Local() { return *machines_.front(); }
  MemoryMachine& AddMachine(TextView computerName);

  // Handles and connections open right now (predefined roots excluded).
  std::size_t OpenHandleCount() const;
  // Calls made so far, and the connections among them.
  std::size_t CallCount() const { return calls_.load(); }
  std::size_t ConnectionCount() const { return connections_.load(); }

  long ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) override;
  long OpenKey(RegKey base, const char16_t* subKey, RegKey* result) override;
  long OpenKeyEx(RegKey base, const char16_t* subKey, std::uint32_t access, RegKey* result) override;
  long CreateKeyEx(RegKey base, const char16_t* subKey, std::uint32_t options, std::uint32_t access, RegKey* result,
                   std::uint32_t* disposition) override;
  long QueryValueEx(RegKey key, const char16_t* valueName, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataLength) override;
  long SetValueEx(RegKey key, const char16_t* valueName, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t dataLength) override;
  long EnumKeyEx(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameCount) override;
  long CloseKey(RegKey key) override;
  bool ComputerName(char16_t* buffer, std::uint32_t* count) override;

 private:
  friend class MemoryMachine;
  struct Handle {
    MemoryMachine* machine = nullptr;
    MemoryMachine::Node* node = nullptr;
  };
  // Looks the handle up, applies the machine's delay and fault rules; nonzero on failure.
  long Enter(RegKey key, Handle* handle, std::unique_lock<std::mutex>& lock);
  long OpenBelow(RegKey base, const char16_t* subKey, bool create, bool sameHandleWhenEmpty, RegKey* result,
                 std::uint32_t* disposition);
  RegKey NewHandle(const Handle& handle);

  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<MemoryMachine>> machines_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x1000;
  std::atomic<std::size_t> calls_{0};
  std::atomic<std::size_t> connections_{0};
};

}  // namespace appcensus
