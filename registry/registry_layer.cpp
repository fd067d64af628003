#include "registry/registry_layer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "registry/scoped_key.h"

namespace appcensus {

namespace {

constexpr char16_t kLocalMachine[] = u".";

struct RootName {
  const char16_t* name;
  RegKey handle;
};
constexpr RootName kRootNames[] = {
    {u"HKEY_CLASSES_ROOT", kRootClassesRoot}, {u"HKEY_CURRENT_USER", kRootCurrentUser},
    {u"HKEY_LOCAL_MACHINE", kRootLocalMachine}, {u"HKEY_USERS", kRootUsers},
    {u"HKEY_CURRENT_CONFIG", kRootCurrentConfig},
};

// A key reached through a path and a machine: the remote connection (if any) and the key
// opened below it. Both are closed when it goes out of scope, the key first.
class ResolvedKey {
 public:
  explicit ResolvedKey(RegistryApi& api) : api_(api), connection_(api), key_(api) {}

  enum class Mode { Read, Write, Create };

  bool Open(TextView keyPath, TextView machine, Mode mode) {
    const RegKey root = RootKeyOfPath(keyPath);
    if (root == 0) return false;  // unknown root name: every later step would fail
    long connectStatus;
    const RegKey base = ConnectedRoot(api_, machine, root, connection_, &connectStatus);
    if (base == 0) return false;
    const Text subKey = SubKeyOfPath(keyPath);
    long status;
    switch (mode) {
      case Mode::Read:
        status = api_.OpenKey(base, subKey.c_str(), key_.Receive());
        break;
      case Mode::Write:
        status = api_.OpenKeyEx(base, subKey.c_str(), reg::kKeyAllAccess, key_.Receive());
        break;
      default: {
        std::uint32_t disposition = 0;
        status = api_.CreateKeyEx(base, subKey.c_str(), reg::kOptionNonVolatile, reg::kKeyAllAccess, key_.Receive(),
                                  &disposition);
        break;
      }
    }
    if (status != reg::kSuccess) {
      key_.Release();  // a failed call leaves no handle of ours
      return false;
    }
    // Opening an empty subkey hands back the base itself: it must be closed only once.
    if (key_.Get() == connection_.Get()) connection_.Release();
    return true;
  }

  RegKey Key() const { return key_.Get(); }

 private:
  RegistryApi& api_;
  ScopedKey connection_;
  ScopedKey key_;  // declared last: closed before the connection
};

std::uint8_t* Bytes(void* p) { return static_cast<std::uint8_t*>(p); }

}  // namespace

RegKey ConnectedRoot(RegistryApi& api, TextView machine, RegKey root, ScopedKey& connection, long* status) {
  *status = reg::kSuccess;
  if (machine == kLocalMachine) return root;
  const Text machineName(machine);
  *status = api.ConnectRegistry(machineName.c_str(), root, connection.Receive());
  if (*status == reg::kSuccess) return connection.Get();
  connection.Release();  // a failed call leaves no handle of ours
  return 0;
}

RegKey RootKeyOfPath(TextView keyPath) {
  const std::size_t slash = keyPath.find(u'\\');
  const Text rootName = UpperCase(keyPath.substr(0, slash));
  for (const auto& root : kRootNames)
    if (rootName == root.name) return root.handle;
  return 0;
}

Text SubKeyOfPath(TextView keyPath) {
  const std::size_t slash = keyPath.find(u'\\');
  Text subKey(slash == TextView::npos ? keyPath : keyPath.substr(slash + 1));
  if (!subKey.empty() && subKey.front() == u'\\') subKey.erase(0, 1);
  return subKey;
}

std::int32_t HexTextToNumber(TextView text) {
  std::uint32_t value = 0;
  for (const char byte : TextToUtf8(text)) {
    std::uint32_t digit = 0;
    if (byte >= '0' && byte <= '9') digit = static_cast<std::uint32_t>(byte - '0');
    else if (byte >= 'A' && byte <= 'F') digit = static_cast<std::uint32_t>(byte - 'A' + 10);
    else if (byte >= 'a' && byte <= 'f') digit = static_cast<std::uint32_t>(byte - 'a' + 10);
    value = value * 16 + digit;
  }
  return static_cast<std::int32_t>(value);
}

Text ReadRegistryValue(TextView keyPath, TextView valueName, TextView machine) {
  RegistryApi& api = CurrentRegistryApi();
  ResolvedKey key(api);
  Text value;
  if (key.Open(keyPath, machine, ResolvedKey::Mode::Read)) ReadValueOfKey(api, key.Key(), valueName, &value);
  return value;
}

long ReadValueOfKey(RegistryApi& api, RegKey key, TextView valueName, Text* value) {
  value->clear();
  const Text name(valueName);
  std::vector<std::uint8_t> buffer(kValueBufferChars * sizeof(char16_t));
  std::uint32_t type = 0;
  std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
  long status = api.QueryValueEx(key, name.c_str(), &type, buffer.data(), &size);
  // A text is read whole, with a buffer of the size the registry reports (again if the value
  // grew in between); other values keep the first read's limit.
  for (int attempt = 0; status == reg::kMoreData && (type == reg::kSz || type == reg::kExpandSz) && attempt < 4;
       ++attempt) {
    buffer.assign(size + sizeof(char16_t), 0);
    size = static_cast<std::uint32_t>(buffer.size());
    status = api.QueryValueEx(key, name.c_str(), &type, buffer.data(), &size);
  }
  if (status != reg::kSuccess) return status;
  size = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(buffer.size()));

  switch (type) {
    case reg::kSz:
    case reg::kExpandSz: {
      Text text(size / sizeof(char16_t), u'\0');
      std::memcpy(text.data(), buffer.data(), text.size() * sizeof(char16_t));
      *value = text.substr(0, text.find(u'\0'));
      break;
    }
    case reg::kDword: {
      // Data over 4 bytes does not fit a DWORD's buffer: it reads as 0.
      std::uint32_t number = 0;
      if (size <= sizeof number) std::memcpy(&number, buffer.data(), size);
      *value = DecimalText(static_cast<std::int32_t>(number));
      break;
    }
    case reg::kBinary: {
      static constexpr char16_t kHex[] = u"0123456789ABCDEF";
      for (std::uint32_t i = 0; i < size && i < kBinaryBlockBytes; ++i) {
        value->push_back(kHex[buffer[i] >> 4]);
        value->push_back(kHex[buffer[i] & 0x0F]);
      }
      break;
    }
    default:
      break;  // other types are not read
  }
  return status;
}

int RegistryValueExists(TextView keyPath, TextView valueName, TextView machine) {
  RegistryApi& api = CurrentRegistryApi();
  ResolvedKey key(api);
  if (!key.Open(keyPath, machine, ResolvedKey::Mode::Read)) return 0;
  const Text name(valueName);
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  const long status = api.QueryValueEx(key.Key(), name.c_str(), &type, nullptr, &size);
  return status == reg::kSuccess || status == reg::kMoreData ? 1 : 0;
}

int SetRegistryValue(TextView keyPath, TextView valueName, TextView value, int type, TextView machine) {
  RegistryApi& api = CurrentRegistryApi();
  ResolvedKey key(api);
  if (!key.Open(keyPath, machine, ResolvedKey::Mode::Write)) return 0;
  const Text name(valueName);
  switch (type) {
    case reg::kSz:
    case reg::kExpandSz: {
      const Text text(value);
      api.SetValueEx(key.Key(), name.c_str(), static_cast<std::uint32_t>(type), Bytes(const_cast<char16_t*>(text.c_str())),
                     static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t)));
      break;
    }
    case reg::kDword: {
      const auto number = static_cast<std::uint32_t>(LeadingNumber(value));
      std::uint8_t data[4];
      std::memcpy(data, &number, sizeof data);
      api.SetValueEx(key.Key(), name.c_str(), reg::kDword, data, sizeof data);
      break;
    }
    case reg::kBinary: {
      std::vector<std::uint8_t> block(value.size() / 2);
      for (std::size_t k = 0; k < block.size(); ++k)
        block[k] = static_cast<std::uint8_t>(HexTextToNumber(value.substr(2 * k, 2)) & 0xFF);
      api.SetValueEx(key.Key(), name.c_str(), reg::kBinary, block.data(), static_cast<std::uint32_t>(block.size()));
      break;
    }
    default:
      break;  // other types are never written
  }
  return 1;
}

int CreateRegistryKey(TextView keyPath, TextView machine) {
  ResolvedKey key(CurrentRegistryApi());
  return key.Open(keyPath, machine, ResolvedKey::Mode::Create) ? 1 : 0;
}

int WriteRegistryValue(TextView keyPath, TextView valueName, TextView value, int type, TextView machine) {
  CreateRegistryKey(keyPath, machine);
  return SetRegistryValue(keyPath, valueName, value, type, machine);
}

int RegistryKeyExists(TextView keyPath, TextView machine) {
  ResolvedKey key(CurrentRegistryApi());
  return key.Open(keyPath, machine, ResolvedKey::Mode::Read) ? 1 : 0;
}

Text EnumerateRegistrySubKey(TextView keyPath, int index, TextView machine) {
  return EnumerateRegistrySubKey(keyPath, index, machine, nullptr);
}

Text EnumerateRegistrySubKey(TextView keyPath, int index, TextView machine, bool* nameTooLong) {
  if (nameTooLong) *nameTooLong = false;
  if (index < 0) return Text();
  RegistryApi& api = CurrentRegistryApi();
  ResolvedKey key(api);
  if (!key.Open(keyPath, machine, ResolvedKey::Mode::Read)) return Text();
  std::array<char16_t, kSubKeyBufferChars> buffer{};
  std::uint32_t count = kSubKeyBufferChars;
  const long status = api.EnumKeyEx(key.Key(), static_cast<std::uint32_t>(index), buffer.data(), &count);
  if (status != reg::kSuccess) {
    if (nameTooLong) *nameTooLong = status == reg::kMoreData;
    return Text();
  }
  return Text(buffer.data(), std::min<std::uint32_t>(count, kSubKeyBufferChars));
}

Text LocalComputerName() {
  std::array<char16_t, kComputerNameChars> buffer{};
  std::uint32_t count = kComputerNameChars;
  if (!CurrentRegistryApi().ComputerName(buffer.data(), &count)) return Text();
  return Text(buffer.data(), std::min<std::uint32_t>(count, kComputerNameChars));
}

}  // namespace appcensus
