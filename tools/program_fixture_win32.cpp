#include <winsock2.h>

#include "tools/program_fixture_win32.h"

#include <aclapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include "tests/support/csv_reader.h"

namespace appcensus::driver {

namespace {

constexpr wchar_t kCsvClass[] = L"Appcensus.TestCsv";

std::wstring ProgramFolder() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/"));
  return path;
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void SetDefaultValue(const wchar_t* key, const std::wstring& text) {
  RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The .csv association the prefix had before the probe's, if any.
std::optional<std::wstring>& EarlierCsvClass() {
  static std::optional<std::wstring> earlier;
  return earlier;
}

std::wstring ExportFolderAside() { return ProgramFolder() + L"\\export.kept-aside-by-test"; }

}  // namespace

void ProgramTest::SetUpTestSuite() {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  wchar_t earlier[256] = {};
  DWORD bytes = sizeof earlier;
  if (RegGetValueW(HKEY_CLASSES_ROOT, L".csv", nullptr, RRF_RT_REG_SZ, nullptr, earlier, &bytes) == ERROR_SUCCESS)
    EarlierCsvClass() = earlier;
  SetDefaultValue(L".csv", kCsvClass);
  SetDefaultValue(L"Appcensus.TestCsv\\shell\\open\\command", L"\"" + ProgramFolder() + L"\\csv_open_probe.exe\" \"%1\"");
}

void ProgramTest::TearDownTestSuite() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kCsvClass);
  if (EarlierCsvClass()) SetDefaultValue(L".csv", *EarlierCsvClass());
  else RegDeleteTreeW(HKEY_CLASSES_ROOT, L".csv");
  WSACleanup();
}

void ProgramTest::SetUp() { ASSERT_TRUE(Start()) << "the main window did not appear"; }

void ProgramTest::TearDown() {
  AllowSettingsKey();
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

bool ProgramTest::Start(bool firstRun) {
  if (firstRun) RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  program = std::make_unique<RunningProgram>();
  if (!program->Start()) return false;
  driver = std::make_unique<Driver>(*program);
  window = program->Window();
  panel = driver->Gadget(L"PANEL_VisuApplications");
  table = driver->Gadget(L"LISTE_ApplicationsUninstall");
  tree = driver->Gadget(L"TREE_ApplicationsUninstall");
  activity = driver->Gadget(L"LST_Activite");
  status = driver->Gadget(L"ID_BarreDeStatus");
  progress = GetWindow(status, GW_CHILD);
  return true;
}

long ProgramTest::Close() { return program ? program->Close() : -1; }

void ProgramTest::Request(const std::wstring& machines) {
  Retype(L"CBX_nomMachine", machines);
  requestStart = driver->RowCount(activity);
  Driver::Click(driver->Gadget(L"BT_Afficher"));
  Settle(window);
}

int ProgramTest::RequestAndWait(const std::wstring& machines, const std::wstring& shownName) {
  Request(machines);
  const int done = Logged(kDone + shownName, 60000);
  Settle(window);  // the worker fills the views before it logs the end
  return done;
}

void ProgramTest::WaitForWorkerPause() const {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 20000 &&
         (GetTickCount() - start < 2000 || SendMessageW(progress, PBM_GETPOS, 0, 0) != 0 ||
          SendMessageW(progress, PBM_GETRANGE, FALSE, 0) != 100))
    Sleep(50);
  Sleep(300);
}

void ProgramTest::Filter(const std::wstring& text) {
  Retype(L"TXT_RchNomApplication", text);
  Driver::Click(driver->Gadget(L"BT_RchApplication"));
  Settle(window);
}

void ProgramTest::Retype(const wchar_t* gadget, const std::wstring& text) const {
  HWND control = Gadget(gadget);
  if (Driver::ClassName(control) == L"ComboBox") control = FindWindowExW(control, nullptr, L"Edit", nullptr);
  Driver::Retype(control, text);
}

void ProgramTest::ShowWholeWindow() {
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Driver::SetInnerSize(window, 1000, 700);
}

std::vector<std::vector<std::wstring>> ProgramTest::Rows() const {
  std::vector<std::vector<std::wstring>> rows(driver->RowCount(table));
  for (std::size_t row = 0; row < rows.size(); ++row)
    for (int column = 0; column < 9; ++column) rows[row].push_back(driver->CellText(table, static_cast<int>(row), column));
  return rows;
}

std::vector<std::wstring> ProgramTest::Column(int column) const {
  std::vector<std::wstring> cells;
  for (int row = 0; row < driver->RowCount(table); ++row) cells.push_back(driver->CellText(table, row, column));
  return cells;
}

std::vector<std::wstring> ProgramTest::NodeTexts() const {
  std::vector<std::wstring> texts;
  for (HTREEITEM node : driver->TreeNodes(tree)) texts.push_back(driver->NodeText(tree, node));
  return texts;
}

std::vector<int> ProgramTest::NodeImages() const {
  std::vector<int> images;
  for (HTREEITEM node : driver->TreeNodes(tree)) images.push_back(driver->NodeImage(tree, node));
  return images;
}

std::vector<std::wstring> ProgramTest::Activity(int fromRow) const {
  std::vector<std::wstring> rows;
  for (int row = std::max(fromRow, 0); row < driver->RowCount(activity); ++row)
    rows.push_back(driver->CellText(activity, row, 0));
  return rows;
}

std::string ProgramTest::ActivityText(int fromRow) const {
  std::string text = "activity rows:\n";
  for (const std::wstring& row : Activity(fromRow < 0 ? requestStart : fromRow)) text += "  " + Narrow(row) + "\n";
  return text;
}

int ProgramTest::Logged(const std::wstring& text, DWORD waitMs) const {
  return driver->WaitForActivityRow(text, requestStart, waitMs);
}

std::vector<std::wstring> ProgramTest::MachineHistory() const {
  HWND box = Gadget(L"CBX_nomMachine");
  std::vector<std::wstring> items;
  for (int i = 0; i < SendMessageW(box, CB_GETCOUNT, 0, 0); ++i) {
    wchar_t item[256] = {};
    SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));  // marshalled by the system
    items.push_back(item);
  }
  return items;
}

DWORD ProgramTest::ClassLong(int index) const {
  DWORD value = 0;
  driver->CallUser32("GetClassLongPtrW", reinterpret_cast<std::uint64_t>(window),
                     static_cast<std::uint64_t>(static_cast<std::int64_t>(index)), 0, 0, &value);
  return value;
}

// ---- export ---------------------------------------------------------------------------

std::wstring ProgramTest::ExportFolder() { return ProgramFolder() + L"\\export"; }

std::set<std::wstring> ProgramTest::ExportFiles() {
  std::set<std::wstring> files;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((ExportFolder() + L"\\*.csv").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files.insert(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

std::wstring ProgramTest::NewExportFile(const std::set<std::wstring>& before) {
  std::vector<std::wstring> added;
  for (const std::wstring& file : ExportFiles())
    if (!before.count(file)) added.push_back(file);
  return added.size() == 1 ? added[0] : L"";
}

std::wstring ProgramTest::Export() {
  const std::set<std::wstring> before = ExportFiles();
  Driver::Click(driver->Gadget(L"BT_EditerInfosApplications"));
  Settle(window);
  return NewExportFile(before);
}

HWND ProgramTest::WaitForPrompt() const {
  // A dialog of the program under test bearing the window's title; its window exists a moment
  // before its controls.
  const DWORD id = GetProcessId(program->Process());
  for (int i = 0; i < 100; ++i) {
    for (HWND dialog = FindWindowW(L"#32770", Driver::Text(window).c_str()); dialog;
         dialog = FindWindowExW(nullptr, dialog, L"#32770", Driver::Text(window).c_str())) {
      DWORD owner = 0;
      GetWindowThreadProcessId(dialog, &owner);
      if (owner != id) continue;
      if (HWND answer = FindWindowExW(dialog, nullptr, L"Edit", nullptr)) return answer;
    }
    Sleep(50);
  }
  return nullptr;
}

void ProgramTest::AnswerPrompt(HWND answer, const std::wstring& text) const {
  HWND prompt = GetParent(answer);
  SetWindowTextW(answer, text.c_str());
  PostMessageW(prompt, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(prompt); ++i) Sleep(50);
  Settle(window);
}

std::optional<std::vector<std::vector<std::wstring>>> ProgramTest::ReadExport(const std::wstring& name) {
  const auto records = ReadCsvDocument(FileBytes(ExportFolder() + L"\\" + name));
  if (!records) return std::nullopt;
  std::vector<std::vector<std::wstring>> rows;
  for (const CsvFields& record : *records) {
    rows.emplace_back();
    for (const Text& field : record) rows.back().emplace_back(field.begin(), field.end());
  }
  return rows;
}

bool ProgramTest::StartsWithByteOrderMark(const std::wstring& name) {
  return FileBytes(ExportFolder() + L"\\" + name).rfind("\xEF\xBB\xBF", 0) == 0;
}

std::wstring ProgramTest::OpenedDocuments(const std::wstring& expected) {
  std::wstring text;
  for (int i = 0; i < 100; ++i) {
    const std::string bytes = FileBytes(ProgramFolder() + L"\\opened_documents.txt");
    text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    if (text.find(expected) != std::wstring::npos) break;
    Sleep(100);
  }
  return text;
}

// ---- the program file -----------------------------------------------------------------

namespace {

HMODULE ProgramFile() {
  return LoadLibraryExW((ProgramFolder() + L"\\Appcensus_multi.exe").c_str(), nullptr,
                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

}  // namespace

std::string ProgramTest::ProgramResource(LPCWSTR type, LPCWSTR name) {
  std::string bytes;
  HMODULE file = ProgramFile();
  if (HRSRC found = file ? FindResourceW(file, name, type) : nullptr)
    bytes.assign(static_cast<const char*>(LockResource(LoadResource(file, found))), SizeofResource(file, found));
  if (file) FreeLibrary(file);
  return bytes;
}

std::set<int> ProgramTest::ProgramIconSides() {
  std::set<int> sides;
  HMODULE file = ProgramFile();
  HRSRC group = file ? FindResourceW(file, L"APPCENSUS_ICON", RT_GROUP_ICON) : nullptr;
  auto* directory = group ? static_cast<BYTE*>(LockResource(LoadResource(file, group))) : nullptr;
  for (int size : {32, 16}) {
    if (!directory) break;
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC image = FindResourceW(file, MAKEINTRESOURCEW(id), RT_ICON);
    HICON icon = image ? CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(file, image))),
                                                  SizeofResource(file, image), TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR)
                       : nullptr;
    ICONINFO parts{};
    if (!icon || !GetIconInfo(icon, &parts)) continue;
    BITMAP bitmap{};
    GetObjectW(parts.hbmColor ? parts.hbmColor : parts.hbmMask, sizeof bitmap, &bitmap);
    sides.insert(bitmap.bmWidth);
    if (parts.hbmColor) DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    DestroyIcon(icon);
  }
  if (file) FreeLibrary(file);
  return sides;
}

// ---- the machine and the stored settings ----------------------------------------------

std::wstring ProgramTest::HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name) != 0) return L"";
  wchar_t wide[256] = {};
  MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256);
  return wide;
}

std::wstring ProgramTest::ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &size);
  return name;
}

int ProgramTest::UninstallSubkeys() {
  const std::pair<HKEY, const wchar_t*> keys[] = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
      {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}};
  int total = 0;
  for (const auto& [root, path] : keys) {
    HKEY key = nullptr;
    DWORD subkeys = 0;
    if (RegOpenKeyExW(root, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) continue;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    total += static_cast<int>(subkeys);
  }
  return total;
}

std::optional<std::wstring> ProgramTest::StoredText(const wchar_t* value) {
  wchar_t text[512] = {};
  DWORD bytes = sizeof text;
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(text);
}

std::optional<DWORD> ProgramTest::StoredNumber(const wchar_t* value) {
  DWORD number = 0;
  DWORD bytes = sizeof number;
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, value, RRF_RT_REG_DWORD, nullptr, &number, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return number;
}

std::pair<int, int> ProgramTest::StoredSize() {
  const auto width = StoredNumber(L"LargeurFenetre"), height = StoredNumber(L"HauteurFenetre");
  return {width ? static_cast<int>(*width) : -1, height ? static_cast<int>(*height) : -1};
}

void ProgramTest::StoreSetting(const wchar_t* value, DWORD type, const void* data, DWORD bytes) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, value, type, data, bytes);
}

bool ProgramTest::RefuseSettingsKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  // An empty access list refuses every access to everyone but the owner's own right to change
  // the list.
  ACL emptyAcl;
  InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE);
  const bool locked = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
  RegCloseKey(key);
  HKEY probe = nullptr;
  const bool refused = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &probe) != ERROR_SUCCESS;
  if (probe) RegCloseKey(probe);
  return locked && refused;
}

void ProgramTest::AllowSettingsKey() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, FALSE, nullptr, FALSE);
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  RegCloseKey(key);
}

bool ProgramTest::BlockExportFolder() {
  const std::wstring folder = ExportFolder();
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !MoveFileW(folder.c_str(), ExportFolderAside().c_str()))
    return false;
  HANDLE blocker = CreateFileW(folder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (blocker == INVALID_HANDLE_VALUE) return false;
  CloseHandle(blocker);
  return true;
}

void ProgramTest::UnblockExportFolder() {
  DeleteFileW(ExportFolder().c_str());
  MoveFileW(ExportFolderAside().c_str(), ExportFolder().c_str());
}

int ProgramTest::ProgramProcessCount() {
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

std::string ProgramTest::Narrow(const std::wstring& text) { return TextToUtf8(Text(text.begin(), text.end())); }

}  // namespace appcensus::driver
