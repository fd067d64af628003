// A network of named hosts for the reachability check: each name resolves to the addresses
// given it (none: an unknown name), and each address answers as told. Every connection
// attempt is noted. Safe to call from several threads (set `silence` before).
#pragma once

#include <map>
#include <mutex>
#include <thread>

#include "request/reachability.h"

namespace appcensus {

class NetworkProbeDouble : public NetworkProbe {
 public:
  // `name` resolves to one address per answer, in order; the address numbers are the order
  // of the calls overall.
  void AddHost(TextView name, std::vector<PortAnswer> answers) {
    std::lock_guard lock(mutex_);
    for (PortAnswer answer : answers) {
      const auto address = static_cast<std::uint8_t>(answers_.size());
      answers_.push_back(answer);
      hosts_[UpperCase(name)].push_back(NetworkAddress{{address}});
    }
  }
  // How long an address that does not answer keeps the caller (at most its limit), as a
  // silent host does.
  std::chrono::milliseconds silence{0};

  // The port and the limit of each connection attempt so far.
  std::vector<std::pair<std::uint16_t, std::chrono::milliseconds>> Attempts() const {
    std::lock_guard lock(mutex_);
    return attempts_;
  }

  std::vector<NetworkAddress> Resolve(TextView name) override {
    std::lock_guard lock(mutex_);
    const auto found = hosts_.find(UpperCase(name));
    return found == hosts_.end() ? std::vector<NetworkAddress>() : found->second;
  }
  PortAnswer Connect(const NetworkAddress& address, std::uint16_t port, std::chrono::milliseconds limit) override {
    std::unique_lock lock(mutex_);
    attempts_.emplace_back(port, limit);
    const PortAnswer answer = answers_.at(address.bytes.at(0));
    lock.unlock();
    if (answer == PortAnswer::NoAnswer) std::this_thread::sleep_for(std::min(silence, limit));
    return answer;
  }

 private:
  mutable std::mutex mutex_;
  std::map<Text, std::vector<NetworkAddress>> hosts_;
  std::vector<PortAnswer> answers_;
  std::vector<std::pair<std::uint16_t, std::chrono::milliseconds>> attempts_;
};

}  // namespace appcensus
