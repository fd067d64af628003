// The program under Wine facing faults: closed in the middle of requests, stored settings
// that cannot be read or hold values of the wrong types, an export folder that cannot be
// written. Each ends in a working program and nothing lost.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "tools/gui_driver_win32.h"

namespace appcensus::driver {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Brelmont\\Appcensus";

std::wstring ProgramFolder() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/"));
  return path;
}

int ProgramProcessCount() {
  int count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, L"Appcensus_multi.exe") == 0) ++count;
  CloseHandle(snapshot);
  return count;
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

  void Start() {
    program = std::make_unique<RunningProgram>();
    ASSERT_TRUE(program->Start()) << "the main window did not appear";
    driver = std::make_unique<Driver>(*program);
  }
  HWND MachineBox() const { return driver->Gadget(L"CBX_nomMachine"); }

  std::unique_ptr<RunningProgram> program;
  std::unique_ptr<Driver> driver;
};

TEST_F(FaultTest, ClosingTheWindowDuringRequestsAlwaysEndsWithZeroAndLeavesNoProcess) {
  for (int round = 0; round < 20; ++round) {
    Start();
    HWND edit = FindWindowExW(MachineBox(), nullptr, L"Edit", nullptr);
    SetWindowTextW(edit, round % 2 ? L".;.;.;.;." : L"");
    Driver::Click(driver->Gadget(L"BT_Afficher"));
    Sleep(static_cast<DWORD>(round * 60));  // from at once to well inside the request
    EXPECT_EQ(program->Close(), 0) << "round " << round;
    EXPECT_FALSE(program->Running()) << "round " << round;
  }
  EXPECT_EQ(ProgramProcessCount(), 0);
}

TEST_F(FaultTest, SettingsOfTheWrongTypesLeaveAWorkingWindow) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD number = 12345;
  RegSetValueExW(key, L"CBX_Machines", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegSetValueExW(key, L"HauteurFenetre", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"abc"), 8);
  const BYTE bytes[] = {0x0A, 0xFF};
  RegSetValueExW(key, L"LargeurFenetre", 0, REG_BINARY, bytes, sizeof bytes);
  RegSetValueExW(key, L"TempAttenteTraitementMachine", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(L"9\0\0"), 6);
  RegCloseKey(key);

  Start();
  // A number where a text was stored is read as its digits; unreadable types count as absent.
  EXPECT_EQ(SendMessageW(MachineBox(), CB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(Driver::Text(driver->Gadget(L"TXT_TempAttente")), L"15");
  // Sizes without a leading number give 0 x 0, which the minimum size turns into 622 x 300.
  const SIZE inner = Driver::InnerSize(program->Window());
  EXPECT_EQ(inner.cx, 622);
  EXPECT_EQ(inner.cy, 300);
  // The window still takes a resize and stores it over the wrong values.
  Driver::SetInnerSize(program->Window(), 700, 400);
  Settle(program->Window());
  EXPECT_EQ(program->Close(), 0);
  DWORD width = 0, size = sizeof width;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"LargeurFenetre", RRF_RT_REG_DWORD, nullptr, &width, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(width, 700u);
}

TEST_F(FaultTest, AnUnreadableSettingsKeyIsLikeAFirstRun) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"CBX_Machines", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"SRV9"), 10);
  // An empty access list refuses every access to everyone but the owner's own right to
  // change the list.
  ACL emptyAcl;
  InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE);
  const LONG locked = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  RegCloseKey(key);
  HKEY probe = nullptr;
  const bool refused = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &probe) != ERROR_SUCCESS;
  if (probe) RegCloseKey(probe);
  if (locked != ERROR_SUCCESS || !refused) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    GTEST_SKIP() << "this registry does not refuse access to a key of the current user";
  }

  Start();
  EXPECT_EQ(SendMessageW(MachineBox(), CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(Driver::Text(driver->Gadget(L"TXT_TempAttente")), L"15");
  Driver::SetInnerSize(program->Window(), 700, 400);  // saving fails quietly
  Settle(program->Window());
  EXPECT_TRUE(program->Running());
  EXPECT_EQ(program->Close(), 0);

  // Access back: the stored history was never touched.
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
    SetSecurityDescriptorDacl(&descriptor, FALSE, nullptr, FALSE);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
  }
  wchar_t history[64] = {};
  DWORD bytes = sizeof history;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"CBX_Machines", RRF_RT_REG_SZ, nullptr, history, &bytes),
            ERROR_SUCCESS);
  EXPECT_STREQ(history, L"SRV9");
}

TEST_F(FaultTest, AnExportFolderThatCannotBeMadeIsReportedAndNothingIsOpened) {
  // A file named like the export folder: the folder cannot be created, nor a file in it.
  const std::wstring folder = ProgramFolder() + L"\\export";
  const std::wstring aside = ProgramFolder() + L"\\export.kept-by-fault-test";
  const bool hadFolder = GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (hadFolder) {
    ASSERT_TRUE(MoveFileW(folder.c_str(), aside.c_str()));
  }
  HANDLE blocker = CreateFileW(folder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
  CloseHandle(blocker);

  Start();
  HWND activity = driver->Gadget(L"LST_Activite");
  const int before = driver->RowCount(activity);
  Driver::Click(driver->Gadget(L"BT_EditerInfosApplications"));
  const std::wstring error = L"Impossible d'\u00e9crire le fichier d'export ";
  std::wstring line;
  for (int i = 0; i < 200 && line.empty(); ++i) {
    const auto rows = driver->ActivityRows();
    for (std::size_t r = static_cast<std::size_t>(before); r < rows.size(); ++r)
      if (rows[r].rfind(error, 0) == 0) line = rows[r];
    if (line.empty()) Sleep(50);
  }
  const bool stillRunning = program->Running();
  const long exitCode = program->Close();
  DeleteFileW(folder.c_str());
  if (hadFolder) MoveFileW(aside.c_str(), folder.c_str());

  ASSERT_FALSE(line.empty()) << "no error line";
  EXPECT_NE(line.find(L"\\export\\_"), std::wstring::npos);  // the path of the file it tried
  EXPECT_TRUE(stillRunning);
  EXPECT_EQ(exitCode, 0);
}

}  // namespace
}  // namespace appcensus::driver
