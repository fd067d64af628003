// One machine's registry for the length of an inventory: the machine is connected once per
// root, a key is opened once and everything it holds is read through that handle, and every
// key is opened in the 64-bit view (KEY_WOW64_64KEY), so that a 32-bit and a 64-bit program
// see the same machine. A call that fails because the connection was lost reconnects once,
// opens its key again and is retried; a second failure gives what a failed read gives.
//
// A session and its keys belong to one thread. Keys must go before their session; both
// close what they opened on every path.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "core/text.h"
#include "registry/registry_api.h"
#include "registry/scoped_key.h"

namespace appcensus {

class RegistrySession {
 public:
  // An open key of the session; closed when it goes. Empty when it could not be opened.
  class Key {
   public:
    Key(Key&&) = default;
    explicit operator bool() const { return handle_.Get() != 0; }

   private:
    friend class RegistrySession;
    Key(RegistryApi& api, Text path) : path_(std::move(path)), handle_(api) {}
    Text path_;
    ScopedKey handle_;
  };

  // `machine`: "." for the local registry, else the name to connect to.
  RegistrySession(RegistryApi& api, TextView machine);
  RegistrySession(const RegistrySession&) = delete;
  RegistrySession& operator=(const RegistrySession&) = delete;

  // Opens a key by its full path ("HKEY_LOCAL_MACHINE\...", "HKEY_USERS\" for a root itself).
  Key Open(TextView keyPath);
  // Whether the machine answers for the root of `keyPath`, connecting to it when needed.
  bool Reaches(TextView keyPath);
  // The name of the subkey at `index`; empty at the end of the list or on failure, and for a
  // name longer than the registry allows (*nameTooLong then true: the list goes on after it).
  Text SubKeyName(Key& key, std::uint32_t index, bool* nameTooLong);
  // A value of the key by the layer's value rules (ReadValueOfKey).
  Text Value(Key& key, TextView valueName);
  // The number of a REG_DWORD (4 bytes) or REG_QWORD (8 bytes) value; none for a value of
  // any other type or size, or a failure.
  std::optional<std::uint64_t> Number(Key& key, TextView valueName);

  // The status of the latest connection that failed and of the latest key open that failed
  // (reg::kSuccess while none has), kept when a later call succeeds, so that a machine that
  // gave nothing can say why.
  long ConnectStatus() const { return connectStatus_; }
  long OpenStatus() const { return openStatus_; }

 private:
  // Opens (again) the key's path; false when it cannot be opened.
  bool OpenHandle(Key& key);
  // The handle keys below `root` are opened from: the predefined root on the local machine,
  // else the root's connection (made when first needed).
  RegKey Base(RegKey root);
  // After a call failed with `status`: reconnects and opens the key again when the status
  // says the connection was lost; true when the call is worth retrying.
  bool Recover(long status, Key& key);

  RegistryApi& api_;
  Text machine_;
  bool local_;
  std::map<RegKey, ScopedKey> connections_;
  long connectStatus_ = reg::kSuccess;
  long openStatus_ = reg::kSuccess;
};

// Whether a registry status says that the connection to the machine was lost.
bool ConnectionLost(long status);

}  // namespace appcensus
