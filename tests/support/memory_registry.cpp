#include "tests/support/memory_registry.h"

#include <cstring>
#include <thread>

#include "registry/registry_layer.h"
#include "registry/scoped_key.h"

namespace appcensus {

namespace {

std::size_t HiveIndex(RegKey predefined) { return static_cast<std::size_t>(predefined & 0xF); }

bool SameName(TextView a, TextView b) { return a.size() == b.size() && UpperCase(a) == UpperCase(b); }

// Splits a subkey path into its components. A single trailing separator is tolerated, as
// the platform does; any other empty component makes the path invalid.
bool SplitPath(TextView path, std::vector<Text>* parts) {
  if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  if (path.empty()) return true;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find(u'\\', start);
    const TextView part = path.substr(start, end == TextView::npos ? TextView::npos : end - start);
    if (part.empty()) return false;
    parts->emplace_back(part);
    if (end == TextView::npos) return true;
    start = end + 1;
  }
}

}  // namespace

MemoryMachine::Value* MemoryMachine::Node::FindValue(TextView valueName) {
  for (auto& value : values)
    if (SameName(value.name, valueName)) return &value;
  return nullptr;
}

MemoryMachine::MemoryMachine(MemoryRegistry& owner, TextView computerName)
    : owner_(owner), computerName_(computerName) {
  for (auto& hive : hives_) hive = std::make_unique<Node>();
  SetString(kActiveComputerNameKey, u"ComputerName", computerName);
}

MemoryMachine::Node* MemoryMachine::Root(RegKey predefined) {
  if (!IsPredefinedRoot(predefined)) return nullptr;
  return hives_[HiveIndex(predefined)].get();
}

MemoryMachine::Node* MemoryMachine::Walk(TextView keyPath, bool create) {
  Node* node = Root(RootKeyOfPath(keyPath));
  std::vector<Text> parts;
  if (node == nullptr || !SplitPath(SubKeyOfPath(keyPath), &parts)) return nullptr;
  for (const auto& part : parts) {
    const Text upper = UpperCase(part);
    auto it = node->children.find(upper);
    if (it == node->children.end()) {
      if (!create) return nullptr;
      auto child = std::make_unique<Node>();
      child->name = part;
      it = node->children.emplace(upper, std::move(child)).first;
    }
    node = it->second.get();
  }
  return node;
}

void MemoryMachine::CreateKey(TextView keyPath) {
  std::lock_guard lock(owner_.mutex_);
  Walk(keyPath, true);
}

void MemoryMachine::SetValue(TextView keyPath, TextView valueName, std::uint32_t type, std::vector<std::uint8_t> data) {
  std::lock_guard lock(owner_.mutex_);
  Node* node = Walk(keyPath, true);
  if (node == nullptr) return;
  Value* value = node->FindValue(valueName);
  if (value == nullptr) {
    node->values.push_back(Value{Text(valueName), type, {}});
    value = &node->values.back();
  }
  value->type = type;
  value->data = std::move(data);
}

void MemoryMachine::SetString(TextView keyPath, TextView valueName, TextView text, std::uint32_t type) {
  std::vector<std::uint8_t> data((text.size() + 1) * sizeof(char16_t), 0);
  std::memcpy(data.data(), text.data(), text.size() * sizeof(char16_t));
  SetValue(keyPath, valueName, type, std::move(data));
}

void MemoryMachine::SetDword(TextView keyPath, TextView valueName, std::uint32_t value) {
  std::vector<std::uint8_t> data(4);
  std::memcpy(data.data(), &value, 4);
  SetValue(keyPath, valueName, reg::kDword, std::move(data));
}

void MemoryMachine::DenyAccess(TextView keyPath) {
  std::lock_guard lock(owner_.mutex_);
  if (Node* node = Walk(keyPath, true)) node->denied = true;
}

bool MemoryMachine::GetValue(TextView keyPath, TextView valueName, std::uint32_t* type,
                             std::vector<std::uint8_t>* data) const {
  std::lock_guard lock(owner_.mutex_);
  Node* node = const_cast<MemoryMachine*>(this)->Walk(keyPath, false);
  if (node == nullptr) return false;
  const Value* value = node->FindValue(valueName);
  if (value == nullptr) return false;
  if (type) *type = value->type;
  if (data) *data = value->data;
  return true;
}

bool MemoryMachine::KeyExists(TextView keyPath) const {
  std::lock_guard lock(owner_.mutex_);
  return const_cast<MemoryMachine*>(this)->Walk(keyPath, false) != nullptr;
}

void MemoryMachine::SetFaults(const Faults& faults) {
  std::lock_guard lock(owner_.mutex_);
  faults_ = faults;
  calls_ = 0;
}

void MemoryMachine::AddAlias(TextView alias) {
  std::lock_guard lock(owner_.mutex_);
  aliases_.emplace_back(alias);
}

MemoryRegistry::MemoryRegistry(TextView localComputerName) {
  machines_.push_back(std::unique_ptr<MemoryMachine>(new MemoryMachine(*this, localComputerName)));
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryMachine& MemoryRegistry::AddMachine(TextView computerName) {
  auto* machine = new MemoryMachine(*this, computerName);
  std::lock_guard lock(mutex_);
  machines_.push_back(std::unique_ptr<MemoryMachine>(machine));
  return *machine;
}

std::size_t MemoryRegistry::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

RegKey MemoryRegistry::NewHandle(const Handle& handle) {
  const RegKey key = nextHandle_;
  nextHandle_ += 4;
  handles_[key] = handle;
  return key;
}

long MemoryRegistry::Enter(RegKey key, Handle* handle, std::unique_lock<std::mutex>& lock) {
  ++calls_;
  if (IsPredefinedRoot(key)) {
    // The predefined roots are the local registry, reached without a connection.
    handle->machine = machines_.front().get();
    handle->node = handle->machine->Root(key);
    return reg::kSuccess;
  }
  const auto it = handles_.find(key);
  if (it == handles_.end()) return reg::kInvalidHandle;
  *handle = it->second;
  MemoryMachine& machine = *handle->machine;
  if (machine.faults_.delayPerCall.count() > 0) {
    const auto delay = machine.faults_.delayPerCall;
    lock.unlock();
    std::this_thread::sleep_for(delay);
    lock.lock();
  }
  ++machine.calls_;
  if (machine.faults_.loseConnectionAfterCalls >= 0 && machine.calls_ > machine.faults_.loseConnectionAfterCalls)
    return reg::kServerUnavailable;
  return reg::kSuccess;
}

long MemoryRegistry::ConnectRegistry(const char16_t* machineName, RegKey root, RegKey* result) {
  std::unique_lock lock(mutex_);
  ++calls_;
  ++connections_;
  *result = 0;
  const TextView name(machineName);
  MemoryMachine* target = name.empty() ? machines_.front().get() : nullptr;
  for (const auto& machine : machines_) {
    if (target != nullptr) break;
    if (SameName(machine->computerName_, name)) target = machine.get();
    for (const auto& alias : machine->aliases_)
      if (target == nullptr && SameName(alias, name)) target = machine.get();
  }
  if (target == nullptr) return reg::kBadNetPath;
  if (target->faults_.delayPerCall.count() > 0) {
    const auto delay = target->faults_.delayPerCall;
    lock.unlock();
    std::this_thread::sleep_for(delay);
    lock.lock();
  }
  if (target->faults_.unreachable) return reg::kBadNetPath;
  if (target->faults_.refused) return reg::kAccessDenied;
  ++target->calls_;
  if (target->faults_.loseConnectionAfterCalls >= 0 && target->calls_ > target->faults_.loseConnectionAfterCalls)
    return reg::kServerUnavailable;
  MemoryMachine::Node* node = target->Root(root);
  if (node == nullptr) return reg::kInvalidHandle;
  *result = NewHandle(Handle{target, node});
  return reg::kSuccess;
}

long MemoryRegistry::OpenBelow(RegKey base, const char16_t* subKey, bool create, bool sameHandleWhenEmpty,
                               RegKey* result, std::uint32_t* disposition) {
  std::unique_lock lock(mutex_);
  *result = 0;
  Handle handle;
  if (const long status = Enter(base, &handle, lock); status != reg::kSuccess) return status;
  const TextView path(subKey ? subKey : u"");
  if (path.empty() && sameHandleWhenEmpty) {
    *result = base;
    return reg::kSuccess;
  }
  std::vector<Text> parts;
  if (!path.empty() && path.front() == u'\\') return reg::kBadPathName;
  if (!SplitPath(path, &parts)) return reg::kBadPathName;
  MemoryMachine::Node* node = handle.node;
  bool created = false;
  for (const auto& part : parts) {
    const Text upper = UpperCase(part);
    auto it = node->children.find(upper);
    if (it == node->children.end()) {
      if (!create) return reg::kFileNotFound;
      if (node->denied) return reg::kAccessDenied;
      auto child = std::make_unique<MemoryMachine::Node>();
      child->name = part;
      it = node->children.emplace(upper, std::move(child)).first;
      created = true;
    }
    node = it->second.get();
  }
  if (node->denied) return reg::kAccessDenied;
  if (disposition) *disposition = created ? reg::kCreatedNewKey : reg::kOpenedExistingKey;
  *result = NewHandle(Handle{handle.machine, node});
  return reg::kSuccess;
}

long MemoryRegistry::OpenKey(RegKey base, const char16_t* subKey, RegKey* result) {
  return OpenBelow(base, subKey, false, true, result, nullptr);
}

long MemoryRegistry::OpenKeyEx(RegKey base, const char16_t* subKey, std::uint32_t, RegKey* result) {
  return OpenBelow(base, subKey, false, false, result, nullptr);
}

long MemoryRegistry::CreateKeyEx(RegKey base, const char16_t* subKey, std::uint32_t, std::uint32_t, RegKey* result,
                                 std::uint32_t* disposition) {
  return OpenBelow(base, subKey, true, false, result, disposition);
}

long MemoryRegistry::QueryValueEx(RegKey key, const char16_t* valueName, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataLength) {
  std::unique_lock lock(mutex_);
  Handle handle;
  if (const long status = Enter(key, &handle, lock); status != reg::kSuccess) return status;
  const auto* value = handle.node->FindValue(valueName ? valueName : u"");
  if (value == nullptr) return reg::kFileNotFound;
  if (type) *type = value->type;
  const auto size = static_cast<std::uint32_t>(value->data.size());
  if (data != nullptr) {
    if (dataLength == nullptr) return reg::kInvalidParameter;
    if (*dataLength < size) {
      *dataLength = size;
      return reg::kMoreData;
    }
    if (size) std::memcpy(data, value->data.data(), size);
  }
  if (dataLength) *dataLength = size;
  return reg::kSuccess;
}

long MemoryRegistry::SetValueEx(RegKey key, const char16_t* valueName, std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t dataLength) {
  std::unique_lock lock(mutex_);
  Handle handle;
  if (const long status = Enter(key, &handle, lock); status != reg::kSuccess) return status;
  const TextView name(valueName ? valueName : u"");
  auto* value = handle.node->FindValue(name);
  if (value == nullptr) {
    handle.node->values.push_back(MemoryMachine::Value{Text(name), type, {}});
    value = &handle.node->values.back();
  }
  value->type = type;
  value->data.assign(data, data + dataLength);
  return reg::kSuccess;
}

long MemoryRegistry::EnumKeyEx(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameCount) {
  std::unique_lock lock(mutex_);
  Handle handle;
  if (const long status = Enter(key, &handle, lock); status != reg::kSuccess) return status;
  if (index >= handle.node->children.size()) return reg::kNoMoreItems;
  auto it = handle.node->children.begin();
  std::advance(it, index);
  const Text& childName = it->second->name;
  if (childName.size() + 1 > *nameCount) return reg::kMoreData;
  std::memcpy(name, childName.c_str(), (childName.size() + 1) * sizeof(char16_t));
  *nameCount = static_cast<std::uint32_t>(childName.size());
  return reg::kSuccess;
}

long MemoryRegistry::CloseKey(RegKey key) {
  std::unique_lock lock(mutex_);
  Handle handle;
  const long status = Enter(key, &handle, lock);  // a close costs a call too, but always releases
  if (status == reg::kInvalidHandle) return status;
  handles_.erase(key);
  return reg::kSuccess;
}

bool MemoryRegistry::ComputerName(char16_t* buffer, std::uint32_t* count) {
  std::lock_guard lock(mutex_);
  const Text& name = machines_.front()->computerName_;
  if (name.size() + 1 > *count) {
    *count = static_cast<std::uint32_t>(name.size() + 1);
    return false;
  }
  std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(char16_t));
  *count = static_cast<std::uint32_t>(name.size());
  return true;
}

}  // namespace appcensus
