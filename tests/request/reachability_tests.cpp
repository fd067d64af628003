// The reachability check (on the network double; under Wine also on real loopback sockets)
// and the table from what a request saw of a machine to its cause.
#include <gtest/gtest.h>

#include "request/machine_causes.h"
#include "tests/support/network_probe_double.h"
#ifdef _WIN32
#include <winsock2.h>

#include "request/reachability_win32.h"
#endif

namespace appcensus {
namespace {

using namespace std::chrono_literals;

TEST(ReachabilityTest, TheLocalMachineIsNotChecked) {
  const std::pair<const char16_t*, bool> cases[] = {
      {u".", false}, {u"", false}, {u"localpc", false}, {u"\\\\LOCALPC", false}, {u"SRV1", true}, {u"LOCALPC2", true}};
  for (const auto& [machine, checked] : cases)
    EXPECT_EQ(NeedsReachabilityCheck(machine, u"LOCALPC"), checked) << TextToUtf8(machine);
}

TEST(ReachabilityTest, TheFirstAddressThatAnswersWinsThenARefusalWithinTheSharedLimit) {
  NetworkProbeDouble network;
  network.silence = 50ms;
  using enum PortAnswer;
  using R = Reachability;
  const std::tuple<const char16_t*, std::vector<PortAnswer>, Reachability, std::size_t> cases[] = {
      {u"UP", {Answered}, R::Answered, 1},       {u"\\\\UP2", {Answered}, R::Answered, 1},  // named as in a path
      {u"SHUT", {Refused}, R::Refused, 1},       {u"SILENT", {NoAnswer}, R::NoAnswer, 1},
      {u"SILENT-THEN-SHUT", {NoAnswer, Refused, NoAnswer}, R::NoAnswer, 1},  // the limit spent on the first
      {u"SHUT-THEN-SILENT", {Refused, NoAnswer}, R::Refused, 2},
      {u"TWO", {Refused, Answered, Refused}, R::Answered, 2}, {u"NOWHERE", {}, R::NameUnknown, 0}};
  for (const auto& [name, answers, reachability, attempts] : cases) {
    const std::size_t before = network.Attempts().size();
    network.AddHost(Text(name).substr(Text(name).find_first_not_of(u'\\')), answers);
    EXPECT_EQ(CheckReachability(network, name, 4450, 40ms), reachability) << TextToUtf8(name);
    const auto made = network.Attempts();
    ASSERT_EQ(made.size() - before, attempts) << TextToUtf8(name);
    for (std::size_t i = before; i < made.size(); ++i) EXPECT_TRUE(made[i].first == 4450 && made[i].second <= 40ms);
  }
}

#ifdef _WIN32
// A socket of the test's own on a loopback address, bound to a port the system picks.
struct LoopbackSocket {
  LoopbackSocket(const char* address, bool listening) {
    sockaddr_in at{AF_INET, 0, {.S_un = {.S_addr = inet_addr(address)}}, {}};
    int length = sizeof at;
    ok = bind(socket, reinterpret_cast<sockaddr*>(&at), length) == 0 &&
         getsockname(socket, reinterpret_cast<sockaddr*>(&at), &length) == 0 && (!listening || listen(socket, 4) == 0);
    port = ntohs(at.sin_port);
  }
  ~LoopbackSocket() { closesocket(socket); }
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  bool ok = false;
  std::uint16_t port = 0;
};

TEST(ReachabilityTest, OnLoopbackAListenerAnswersAndAPortWithoutOneRefuses) {
  Win32NetworkProbe probe;  // starts Windows Sockets before the sockets below
  const LoopbackSocket listener("127.0.0.1", true), bound("127.0.0.2", false);
  ASSERT_TRUE(listener.ok && bound.ok);
  const std::tuple<const char16_t*, std::uint16_t, Reachability> cases[] = {
      {u"127.0.0.1", listener.port, Reachability::Answered},
      {u"localhost", listener.port, Reachability::Answered},  // from the hosts file, maybe ::1 first
      {u"127.0.0.2", bound.port, Reachability::Refused}};
  for (const auto& [name, port, reachability] : cases)
    EXPECT_EQ(CheckReachability(probe, name, port), reachability) << TextToUtf8(name);
}
#endif

TEST(MachineCausesTest, EachFailureGetsOneCauseByPrecedenceWithItsReportStatusAndMessage) {
  using enum Reachability;
  using enum MachineVerdict;
  const std::pair<MachineFailure, const char*> cases[] = {
      {{NameUnknown, 53, 0, Unreachable, true}, "unresolved"},   {{NoAnswer, 53, 0, Unreachable, true}, "unreachable"},
      {{Refused, 5, 0, OtherMachine}, "refused"},                 {{Answered, 53, 0, Unreachable}, "no-remote-registry"},
      {{Answered, 2, 0, Unreachable}, "no-remote-registry"},      {{Answered, 1722, 0, Passed, true}, "no-remote-registry"},
      {{Answered, 1727, 0, Unreachable}, "no-remote-registry"},   {{Answered, 1726, 0, Unreachable}, "unreachable"},
      {{NotChecked, 1722, 0, Unreachable}, "unreachable"},  // without the port's answer, nothing more is known
      {{Answered, 5, 0, OtherMachine, true}, "access-denied"},    {{Answered, 0, 5, Passed}, "access-denied"},
      {{Answered, 1326, 0, Unreachable}, "logon-failure"},        {{NotChecked, 1327, 0, Unreachable}, "logon-failure"},
      {{Answered, 1330, 0, Unreachable}, "logon-failure"},        {{Answered, 1331, 0, Unreachable}, "logon-failure"},
      {{Answered, 0, 1907, Passed}, "logon-failure"},             {{Answered, 0, 0, OtherMachine, true}, "other-machine"},
      {{Answered, 0, 2, Passed, true}, "timeout"},
      {{Answered, 0, 2, Passed, false}, nullptr},  // a missing key is no failure
      {{NotChecked, 0, 0, Passed, false}, nullptr}};
  for (const auto& [failure, status] : cases) {
    const MachineCauseText text = DescribeMachineCause(ChooseMachineCause(failure));
    EXPECT_STREQ(text.reportStatus, status) << failure.connectStatus << "/" << failure.openStatus;
    EXPECT_EQ(text.message == nullptr, status == nullptr) << failure.connectStatus << "/" << failure.openStatus;
  }
  // The machine without a Remote Registry points to the window's box and to the option.
  const Text message = DescribeMachineCause(MachineCause::NoRemoteRegistry).message;
  EXPECT_NE(message.find(u"D\u00e9marrer le service Registre \u00e0 distance si n\u00e9cessaire"), Text::npos);
  EXPECT_NE(message.find(u"--start-remote-registry"), Text::npos);
}

}  // namespace
}  // namespace appcensus
