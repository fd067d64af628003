#include "request/reachability_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <memory>
#include "core/win32_text.h"

namespace appcensus {

namespace {

// Owns one socket and closes it on every path.
class UniqueSocket {
 public:
  explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
  ~UniqueSocket() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;
  SOCKET Get() const { return socket_; }

 private:
  SOCKET socket_;
};

struct AddressListDeleter {
  void operator()(ADDRINFOW* list) const { FreeAddrInfoW(list); }
};

// The connection's own error once it has ended.
int PendingError(SOCKET socket) {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) return WSAGetLastError();
  return error;
}

PortAnswer AnswerOfError(int error) {
  if (error == 0) return PortAnswer::Answered;
  // A reset in answer to the connection request: the host is up and refuses.
  return error == WSAECONNREFUSED || error == WSAECONNRESET ? PortAnswer::Refused : PortAnswer::NoAnswer;
}

}  // namespace

Win32NetworkProbe::Win32NetworkProbe() {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

Win32NetworkProbe::~Win32NetworkProbe() {
  if (started_) WSACleanup();
}

std::vector<NetworkAddress> Win32NetworkProbe::Resolve(TextView name) {
  std::vector<NetworkAddress> addresses;
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  ADDRINFOW* found = nullptr;
  const Text host(name);
  if (GetAddrInfoW(Wide(host), nullptr, &hints, &found) != 0) return addresses;
  const std::unique_ptr<ADDRINFOW, AddressListDeleter> list(found);
  for (const ADDRINFOW* at = found; at; at = at->ai_next) {
    if (!at->ai_addr || at->ai_addrlen == 0 || at->ai_addrlen > sizeof(sockaddr_storage)) continue;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(at->ai_addr);
    addresses.push_back(NetworkAddress{{bytes, bytes + at->ai_addrlen}});
  }
  return addresses;
}

PortAnswer Win32NetworkProbe::Connect(const NetworkAddress& address, std::uint16_t port,
                                      std::chrono::milliseconds limit) {
  sockaddr_storage target{};
  if (address.bytes.size() < sizeof(sockaddr) || address.bytes.size() > sizeof target) return PortAnswer::NoAnswer;
  std::memcpy(&target, address.bytes.data(), address.bytes.size());
  if (target.ss_family == AF_INET)
    reinterpret_cast<sockaddr_in*>(&target)->sin_port = htons(port);
  else if (target.ss_family == AF_INET6)
    reinterpret_cast<sockaddr_in6*>(&target)->sin6_port = htons(port);
  else
    return PortAnswer::NoAnswer;

  const UniqueSocket socket(::socket(target.ss_family, SOCK_STREAM, IPPROTO_TCP));
  u_long nonBlocking = 1;
  if (socket.Get() == INVALID_SOCKET || ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0)
    return PortAnswer::NoAnswer;
  if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&target), static_cast<int>(address.bytes.size())) == 0)
    return PortAnswer::Answered;
  const int error = WSAGetLastError();
  if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) return AnswerOfError(error);

  // Windows marks a failed connection in the exception set, a made one in the write set.
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket.Get(), &writable);
  FD_SET(socket.Get(), &failed);
  const long long ms = limit.count() < 0 ? 0 : limit.count();
  timeval wait{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
  if (select(0, nullptr, &writable, &failed, &wait) <= 0) return PortAnswer::NoAnswer;
  return AnswerOfError(PendingError(socket.Get()));
}

}  // namespace appcensus
