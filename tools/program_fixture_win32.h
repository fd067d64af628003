// The shared fixture of the end-to-end tests: Appcensus_multi.exe started beside the test
// program as at a first run, driven through the window driver, and read back (views,
// activity, status bar, stored settings, export files). It offers actions and reads only: the
// checks are the tests' own.
//
// For the whole suite .csv files open with csv_open_probe.exe beside the test program, which
// notes each document it is asked to open; the association the prefix had comes back after.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>
#include <set>
#include <string>
#include <vector>

#include "tools/gui_driver_win32.h"
#include "ui/window_layout.h"

namespace appcensus::driver {

class ProgramTest : public ::testing::Test {
 public:
  static constexpr wchar_t kSettingsKey[] = L"Software\\Brelmont\\Appcensus";
  static constexpr wchar_t kDone[] = L"Traitement termin\u00e9 sur la machine ";

  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // Starts the program as at a first run.
  void SetUp() override;
  // Gives the settings key its rights back and deletes it.
  void TearDown() override;

  // Starts the program; with firstRun, its stored settings are deleted first. False when its
  // window did not appear.
  bool Start(bool firstRun = true);
  // Asks the window to close and waits; the exit code, or -1.
  long Close();

  // Types the machine text and clicks the request button; the activity row count before is
  // kept in requestStart.
  void Request(const std::wstring& machines);
  // Requests and waits for the end line "Traitement terminé sur la machine <shownName>"; its
  // row index, or -1. The views are filled once it has come.
  int RequestAndWait(const std::wstring& machines, const std::wstring& shownName);
  // 2 s after a result the window empties the progress bar. Waits for that.
  void WaitForWorkerPause() const;
  // Types the search text and clicks the search button.
  void Filter(const std::wstring& text);
  // Replaces the text of an edit field by typing.
  void Retype(const wchar_t* gadget, const std::wstring& text) const;
  // Moves the window to the screen's corner at an inner size of 1000 x 700, all rows in sight.
  void ShowWholeWindow();

  // Reads.
  HWND Gadget(const wchar_t* name) const { return driver->Gadget(name); }
  std::wstring TextOf(const wchar_t* gadget) const { return Driver::Text(Gadget(gadget)); }
  // A gadget's place in its parent's inner area.
  GadgetRect Place(const wchar_t* gadget) const {
    const RECT r = Driver::RectInParent(Gadget(gadget));
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  std::pair<int, int> Inner() const {
    const SIZE inner = Driver::InnerSize(window);
    return {inner.cx, inner.cy};
  }
  std::vector<std::vector<std::wstring>> Rows() const;  // the nine cells of each row
  std::vector<std::wstring> Column(int column) const;
  std::vector<std::wstring> NodeTexts() const;  // the tree, flat top to bottom
  std::vector<int> NodeImages() const;
  std::vector<std::wstring> Activity(int fromRow = 0) const;
  std::string ActivityText(int fromRow = -1) const;  // for failure messages; -1: from requestStart
  // The index of the activity row `text` from requestStart on, waiting at most waitMs; -1.
  int Logged(const std::wstring& text, DWORD waitMs = 0) const;
  std::wstring Status(int field) const { return driver->StatusText(status, field); }
  // The progress bar's position and maximum.
  std::pair<int, int> ProgressBar() const {
    return {static_cast<int>(SendMessageW(progress, PBM_GETPOS, 0, 0)),
            static_cast<int>(SendMessageW(progress, PBM_GETRANGE, FALSE, 0))};
  }
  bool Shown(HWND control) const { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }
  int CurrentTab() const { return static_cast<int>(SendMessageW(panel, TCM_GETCURSEL, 0, 0)); }
  std::vector<std::wstring> MachineHistory() const;  // the machine box's list
  // A value of the window's class, asked inside the program (under Wine another process cannot
  // read a class's icons); 0 when it could not be asked.
  DWORD ClassLong(int index) const;

  // The export folder beside the program and its .csv files; the one file not among `before`
  // (empty when none or several); a click on the export button that gives the new file.
  static std::wstring ExportFolder();
  static std::set<std::wstring> ExportFiles();
  static std::wstring NewExportFile(const std::set<std::wstring>& before);
  std::wstring Export();
  // The prefix prompt of the program: waits for its answer field (nullptr when none came).
  HWND WaitForPrompt() const;
  // Types the answer and confirms it; waits for the prompt to close.
  void AnswerPrompt(HWND answer, const std::wstring& text) const;
  // An export file read back as records of fields; nothing when it does not read as CSV.
  static std::optional<std::vector<std::vector<std::wstring>>> ReadExport(const std::wstring& name);
  static bool StartsWithByteOrderMark(const std::wstring& name);
  // The documents the probe was asked to open, waiting a little for `expected` among them.
  static std::wstring OpenedDocuments(const std::wstring& expected);

  // The program file: a resource of it (empty when there is none), and the sides of the images
  // in its application icon.
  static std::string ProgramResource(LPCWSTR type, LPCWSTR name);
  static std::set<int> ProgramIconSides();

  // The machine and the stored settings.
  static std::wstring HostName();
  static std::wstring ComputerName();
  // The subkeys of the three Uninstall keys together (64-bit view, 32-bit view, this user's).
  static int UninstallSubkeys();
  static std::optional<std::wstring> StoredText(const wchar_t* value);
  static std::optional<DWORD> StoredNumber(const wchar_t* value);
  // The stored inner size, {-1, -1} where a value is missing.
  static std::pair<int, int> StoredSize();
  static void StoreSetting(const wchar_t* value, DWORD type, const void* data, DWORD bytes);
  // Takes every right on the settings key away (false when this registry does not refuse the
  // current user's key), and gives them back.
  static bool RefuseSettingsKey();
  static void AllowSettingsKey();
  // A file named like the export folder keeps the folder from being made; put aside and back.
  static bool BlockExportFolder();
  static void UnblockExportFolder();
  static int ProgramProcessCount();

  static std::string Narrow(const std::wstring& text);

  std::unique_ptr<RunningProgram> program;
  std::unique_ptr<Driver> driver;
  HWND window = nullptr, panel = nullptr, table = nullptr, tree = nullptr, activity = nullptr;
  HWND status = nullptr, progress = nullptr;
  int requestStart = 0;
};

}  // namespace appcensus::driver
