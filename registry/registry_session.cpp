#include "registry/registry_session.h"

#include <array>

#include "registry/registry_layer.h"

namespace appcensus {

bool ConnectionLost(long status) {
  switch (status) {
    case reg::kInvalidHandle:
    case reg::kBadNetPath:
    case reg::kUnexpectedNetworkError:
    case reg::kNetNameDeleted:
    case reg::kServerUnavailable:
    case reg::kCallFailed:
    case reg::kCallFailedDidNotExecute:
      return true;
    default:
      return false;
  }
}

RegistrySession::RegistrySession(RegistryApi& api, TextView machine)
    : api_(api), machine_(machine), local_(machine == u".") {}

RegKey RegistrySession::Base(RegKey root) {
  if (local_) return root;
  auto it = connections_.find(root);
  if (it == connections_.end()) it = connections_.emplace(root, ScopedKey(api_)).first;
  if (it->second.Get() != 0) return it->second.Get();
  long status;
  const RegKey base = ConnectedRoot(api_, machine_, root, it->second, &status);
  if (base == 0) connectStatus_ = status;
  return base;
}

bool RegistrySession::OpenHandle(Key& key) {
  const RegKey root = RootKeyOfPath(key.path_);
  const RegKey base = root == 0 ? 0 : Base(root);
  if (base == 0) return false;
  const Text subKey = SubKeyOfPath(key.path_);
  const long status = api_.OpenKeyEx(base, subKey.c_str(), reg::kKeyRead | reg::kKeyWow64_64Key, key.handle_.Receive());
  if (status == reg::kSuccess) return true;
  key.handle_.Release();
  openStatus_ = status;
  return false;
}

RegistrySession::Key RegistrySession::Open(TextView keyPath) {
  Key key(api_, Text(keyPath));
  OpenHandle(key);
  return key;
}

bool RegistrySession::Reaches(TextView keyPath) {
  const RegKey root = RootKeyOfPath(keyPath);
  return root != 0 && Base(root) != 0;
}

bool RegistrySession::Recover(long status, Key& key) {
  if (!ConnectionLost(status)) return false;
  key.handle_.Close();
  if (!local_) {
    // The connection of the key's root is made again; a connection that is gone closes with
    // an error, which changes nothing.
    connections_.erase(RootKeyOfPath(key.path_));
  }
  return OpenHandle(key);
}

Text RegistrySession::SubKeyName(Key& key, std::uint32_t index, bool* nameTooLong) {
  *nameTooLong = false;
  if (!key) return Text();
  std::array<char16_t, kSubKeyBufferChars> buffer{};
  std::uint32_t count = kSubKeyBufferChars;
  long status = api_.EnumKeyEx(key.handle_.Get(), index, buffer.data(), &count);
  if (status != reg::kSuccess && Recover(status, key)) {
    count = kSubKeyBufferChars;
    status = api_.EnumKeyEx(key.handle_.Get(), index, buffer.data(), &count);
  }
  if (status != reg::kSuccess) {
    *nameTooLong = status == reg::kMoreData;
    return Text();
  }
  return Text(buffer.data(), std::min<std::uint32_t>(count, kSubKeyBufferChars));
}

Text RegistrySession::Value(Key& key, TextView valueName) {
  Text value;
  if (!key) return value;
  const long status = ReadValueOfKey(api_, key.handle_.Get(), valueName, &value);
  if (status != reg::kSuccess && Recover(status, key)) ReadValueOfKey(api_, key.handle_.Get(), valueName, &value);
  return value;
}

std::optional<std::uint64_t> RegistrySession::Number(Key& key, TextView valueName) {
  if (!key) return std::nullopt;
  const Text name(valueName);
  std::uint32_t type = 0;
  std::array<std::uint8_t, 8> data{};
  std::uint32_t size = data.size();
  long status = api_.QueryValueEx(key.handle_.Get(), name.c_str(), &type, data.data(), &size);
  if (status != reg::kSuccess && Recover(status, key)) {
    size = data.size();
    status = api_.QueryValueEx(key.handle_.Get(), name.c_str(), &type, data.data(), &size);
  }
  if (status != reg::kSuccess || !((type == reg::kDword && size == 4) || (type == reg::kQword && size == 8)))
    return std::nullopt;
  std::uint64_t number = 0;
  for (std::uint32_t i = size; i-- > 0;) number = number << 8 | data[i];  // little-endian
  return number;
}

}  // namespace appcensus
