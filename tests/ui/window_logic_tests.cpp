// What the main window does without a window: its layout and images, the named identifiers,
// the views and the log over recording gadgets (this thread being the window thread), and the
// channel from other threads. The real controls are read back in the *_e2e_tests.cpp files.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "core/name_filter.h"
#include "core/text_collation.h"
#include "tests/support/recording_gadgets.h"
#include "tests/support/thread_signals.h"
#include "ui/activity_view.h"
#include "ui/application_views.h"
#include "ui/image_names.h"
#include "ui/png_image.h"
#include "ui/row_order.h"
#include "ui/window_layout.h"

namespace appcensus {
namespace {

// ---- the layout and the images ----------------------------------------------------------

// The places of the gadgets that follow the inner size, in the order of WindowLayout.
std::array<GadgetRect, 7> Places(const WindowLayout& l) {
  return {l.panel, l.view, l.searchField, l.searchLabel, l.searchButton, l.exportButton, l.differencesBox};
}

// The search row stays centred on the middle of the window (an odd width drops the half
// pixel), the bottom controls keep their distance to the bottom edge, the panel and its views
// take the rest. The real window applies these places (settings_e2e_tests.cpp).
TEST(WindowLayoutTest, GadgetsFollowTheInnerSize) {
  EXPECT_EQ(Places(ComputeWindowLayout(622, 300)),
            Places({{1, 80, 622, 120}, {0, 0, 615, 94}, {311, 210, 230, 20}, {111, 210, 185, 15}, {546, 202, 35, 35},
                    {40, 240, 225, 20}, {311, 238, 180, 17}}));
  EXPECT_EQ(Places(ComputeWindowLayout(1001, 700)),
            Places({{1, 80, 1001, 520}, {0, 0, 994, 494}, {500, 610, 230, 20}, {300, 610, 185, 15}, {735, 602, 35, 35},
                    {40, 640, 225, 20}, {500, 638, 180, 17}}));
}

// At start the window is brought inside the monitor's work area: moved in, shrunk if larger.
TEST(WindowLayoutTest, TheWindowIsBroughtInsideTheWorkArea) {
  const GadgetRect area{0, 0, 1280, 1000}, inside{391, 88, 638, 339};
  for (const auto& [window, fitted] : {std::pair{inside, inside}, {{1000, -20, 638, 339}, {642, 0, 638, 339}},
                                       {{391, 88, 1296, 1044}, area}})
    EXPECT_EQ(FitInArea(window, area), fitted);
}

std::vector<std::uint8_t> ReadIcon(const std::u16string& name) {
  std::ifstream file(std::string(APPCENSUS_ICON_DIR) + "/" + TextToUtf8(name) + ".png", std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const std::uint8_t* Pixel(const RgbaImage& image, int x, int y) {
  return image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
}

TEST(IconFilesTest, EveryIconDecodesWithItsSizeColourTypeAndTransparentCorners) {
  for (const IconImage& icon : kIcons) {
    SCOPED_TRACE(TextToUtf8(icon.name));
    const auto image = DecodePng(ReadIcon(icon.name));
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(image->width == icon.size && image->height == icon.size && image->sourceBitDepth == 8);
    EXPECT_EQ(image->sourceColourType, icon.grey ? 4 : 6);  // grey + alpha, or RGBA
    ASSERT_EQ(image->pixels.size(), static_cast<std::size_t>(icon.size * icon.size * 4));
    // A transparent background, and a picture that covers a good part of the square.
    int opaque = 0;
    for (int i = 0; i < icon.size * icon.size; ++i) opaque += image->pixels[i * 4 + 3] == 255;
    EXPECT_GT(opaque, icon.size * icon.size / 3);
    const int last = icon.size - 1;
    int transparentCorners = 0;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) transparentCorners += Pixel(*image, x, y)[3] < 128;
    EXPECT_GE(transparentCorners, 3);
  }
}

TEST(IconFilesTest, StatusIconsShowTheirColour) {
  // The centre-left pixel of each disc: green for done, blue for in progress, red for error.
  for (const auto& [name, channel] : {std::pair{u"ICO_ActionTermine", 1}, {u"ICO_ActionEnCours", 2}, {u"ICO_ActionErreur", 0}}) {
    const auto image = DecodePng(ReadIcon(name));
    ASSERT_TRUE(image.has_value());
    const std::uint8_t* p = Pixel(*image, 2, 8);
    for (int other : {(channel + 1) % 3, (channel + 2) % 3}) EXPECT_GT(p[channel], p[other] + 40) << TextToUtf8(name);
  }
}

TEST(PngDecoderTest, DamagedDataIsRefused) {
  const auto good = ReadIcon(u"ICO_Rechercher");
  ASSERT_TRUE(DecodePng(good).has_value());
  std::vector<std::uint8_t> flipped = good, badSignature = good;
  flipped[flipped.size() / 2] ^= 0xFF;  // inside the image data: the chunk's CRC no longer fits
  badSignature[3] = 'X';
  const std::vector<std::uint8_t> damaged[] = {
      {}, std::vector<std::uint8_t>(200, 0x5A), {good.begin(), good.begin() + good.size() / 2}, flipped, badSignature};
  for (const auto& data : damaged) EXPECT_FALSE(DecodePng(data).has_value()) << data.size() << " bytes";
}

TEST(PngPixelsTest, PremultiplyAndHalve) {
  RgbaImage image{.width = 2, .height = 2, .pixels = {200, 100, 50, 255,  200, 100, 50, 128,  255, 255, 255, 0,  0, 0, 0, 0}};
  PremultiplyAlpha(image);  // 200 * 128 / 255 rounded is 100; fully transparent leaves no colour
  EXPECT_EQ(image.pixels, (std::vector<std::uint8_t>{200, 100, 50, 255,  100, 50, 25, 128,  0, 0, 0, 0,  0, 0, 0, 0}));
  const RgbaImage half = HalveImage(image);  // the mean of the four, rounded
  EXPECT_EQ(half.pixels, (std::vector<std::uint8_t>{(200 + 100 + 2) / 4, (100 + 50 + 2) / 4, (50 + 25 + 2) / 4, (255 + 128 + 2) / 4}));
}

// ---- the views, the log and the channel ------------------------------------------------

ApplicationRecord Record(Text name, Text key) {
  return ApplicationRecord{std::move(name), u"1.2", u"\\\\depot\\setup", u"03/04/2021", u"",
                           u"C:\\Program Files\\App", u"{ABC}", u"SRV2", std::move(key)};
}

class ViewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NamedValue value = 100;
    for (const IconImage& icon : kIcons) RegisterNamedId(icon.name, 0, value++, u"");
    channel.Attach(gadgets, [this] { return ++wakes > 0; });
  }

  RecordingGadgets gadgets;
  std::atomic<int> wakes{0};
  UiChannel channel;
  GadgetActivityLog log{channel};
  SharedText search, lastMachine;
  ApplicationViews views{channel, log, search, lastMachine};
  ApplicationTable table;
};

TEST(NamedIdsTest, NamesAreExactPerKindAndTheLastRegistrationWins) {
  EXPECT_EQ(NamedId(u"BT_Named", 0), 0);
  RegisterNamedId(u"BT_Named", 0, 5, u"");
  RegisterNamedId(u"BT_Named", 0, 7, u"note");
  RegisterNamedId(u"BT_Named", -1, 9, u"");
  EXPECT_EQ(NamedId(u"BT_Named", 0), 7);
  EXPECT_EQ(NamedId(u"BT_Named", -1), 9);
  EXPECT_EQ(NamedId(u"BT_NAMED", 0) + NamedId(u"BT_Named", 1), 0);
}

TEST_F(ViewsTest, ARecordGivesARowAndABranchWithLabelsAndImages) {
  table.Store(Record(u"Micro Viewer", u"{ABC}"));
  views.Fill(table);
  const Text path = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC}";
  ASSERT_EQ(gadgets.rows.size(), 1u);
  EXPECT_EQ(gadgets.rows[0].cells, (std::array<Text, 9>{u"Micro Viewer", u"1.2", u"{ABC}", u"03/04/2021", u"\\\\depot\\setup",
                                                          u"C:\\Program Files\\App", u"", path, u"SRV2"}));
  EXPECT_EQ(gadgets.nodes, (std::vector<TreeNode>{
                               {u"Micro Viewer", NamedId(u"ICO_Application"), 0},
                               {u"Version : 1.2", NamedId(u"ICO_VersionApplication"), 1},
                               {u"Code produit : {ABC}", NamedId(u"ICO_CodeProduit"), 1},
                               {u"Date d'installation : 03/04/2021", NamedId(u"ICO_DateInstallationApplication"), 1},
                               {u"Source d'installation : \\\\depot\\setup", NamedId(u"ICO_SourceApplication"), 1},
                               {u"Emplacement de destination : C:\\Program Files\\App", NamedId(u"ICO_DestinationApplication"), 1},
                               {u"Commande de désinstallation : ", NamedId(u"ICO_CommandeDesinstallationApplication"), 1},
                               {u"Emplacement dans base de registre : " + path, NamedId(u"ICO_EmplacementBaseDeRegistre"), 1},
                               {u"Machine : SRV2", NamedId(u"ICO_NomMachineApplication"), 1},
                           }));
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, RgbColour{255, 247, 179}}}));
}

TEST_F(ViewsTest, BusyHidesTheViewsAndAFillShowsTheFilteredRecordsByNameInPlaceOfTheLastOnes) {
  const Text names[] = {u"Gamma", u"Hidden one", u"beta", u"Alpha", u"Hidden two", u"Delta"};
  for (int i = 0; i < 6; ++i) table.Store(Record(names[i], u"K" + DecimalText(i)));
  search.Set(u"a");  // the two "Hidden" names have no "a"
  views.Fill(table);
  gadgets.calls.clear();
  views.SetBusy(true);
  EXPECT_FALSE(gadgets.viewsVisible);
  views.Fill(table);

  const auto expectShown = [this](std::vector<Text> shown) {
    ASSERT_EQ(gadgets.rows.size(), shown.size());
    ASSERT_EQ(gadgets.nodes.size(), 9 * shown.size());
    for (std::size_t row = 0; row < shown.size(); ++row) {
      EXPECT_EQ(gadgets.rows[row].cells[0], shown[row]);
      EXPECT_EQ(gadgets.nodes[9 * row].text, shown[row]);
    }
  };
  expectShown({u"Alpha", u"beta", u"Delta", u"Gamma"});
  // Shading follows the shown rows, the count is of every record, the views show once filled.
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, kShadedRowColour}, {2, kShadedRowColour}}));
  EXPECT_EQ(gadgets.statusTexts[3], u"6 applications");
  EXPECT_EQ(gadgets.calls, (std::vector<std::string>{"AppendActivityRow", "HideViews", "AppendActivityRow",
                                                     "ClearTable", "AppendTableRows", "ShowViews"}));
  EXPECT_EQ(gadgets.activityTexts, (std::vector<Text>{u"6 applications", u"Traitement en cours...", u"6 applications"}));
  EXPECT_EQ(gadgets.activityImages[1], NamedId(u"ICO_ActionEnCours"));
  EXPECT_EQ(gadgets.statusTexts[1], u"Traitement en cours...");

  // A click on the name's title reverses the rows at once with the last fill's search text,
  // logging nothing; while busy it only sets the order the next fill takes.
  gadgets.calls.clear();
  search.Set(u"");
  EXPECT_EQ(views.SortByColumn(0, table), (RowOrder{0, true}));
  expectShown({u"Gamma", u"Delta", u"beta", u"Alpha"});
  EXPECT_EQ(gadgets.calls, (std::vector<std::string>{"HideViews", "ClearTable", "AppendTableRows", "ShowViews"}));
  views.SetBusy(true);
  views.SortByColumn(0, table);
  expectShown({u"Gamma", u"Delta", u"beta", u"Alpha"});
  search.Set(u"a");
  views.Fill(table);
  expectShown({u"Alpha", u"beta", u"Delta", u"Gamma"});
}

// The order of the rows: letter case and accents as the language sorts them, versions part by
// part, dd/mm/yyyy as dates, the placeholder and empty cells last in either direction.
TEST(RowOrderTest, ColumnsSortByTheirKindWithPlaceholdersLast) {
  const std::vector<Text> versions = {u"2", u" - ", u"1.10.2", u"1.9", u"", u"1.10", u"1.09b"};
  const std::vector<Text> dates = {u"01/02/2021", u" - ", u"15/01/2021", u"2011", u"31/12/2020"};
  const struct {
    int column;
    bool descending;
    std::vector<Text> cells, expected;
  } cases[] = {
      {0, false, {u"beta", u"fichier", u"\u00c9diteur", u"Alpha", u"ecran", u"\u00e9diteur", u"editeur"},
       {u"Alpha", u"beta", u"ecran", u"editeur", u"\u00c9diteur", u"\u00e9diteur", u"fichier"}},
      {0, true, {u"b", u" - ", u"A", u"C"}, {u"C", u"b", u"A", u" - "}},
      {1, false, versions, {u"1.9", u"1.09b", u"1.10", u"1.10.2", u"2", u" - ", u""}},
      {1, true, versions, {u"2", u"1.10.2", u"1.10", u"1.09b", u"1.9", u" - ", u""}},
      {3, false, dates, {u"31/12/2020", u"15/01/2021", u"01/02/2021", u"2011", u" - "}},
      {3, true, dates, {u"2011", u"01/02/2021", u"15/01/2021", u"31/12/2020", u" - "}},
  };
  for (const auto& c : cases) {
    std::vector<TableRow> rows(c.cells.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].cells[c.column] = c.cells[i];
    std::vector<Text> sorted;
    for (std::size_t i : OrderedRowIndexes(rows, {c.column, c.descending}, CollateIgnoringCase)) sorted.push_back(c.cells[i]);
    EXPECT_EQ(sorted, c.expected) << c.column << (c.descending ? " down" : " up");
  }
  // Names alike but for letter case: the machine decides, then the registry path.
  std::vector<TableRow> alike(3);
  for (const auto& [row, name, path, machine] : {std::tuple{0, u"office", u"K2", u"SRV2"}, {1, u"Office", u"K9", u"SRV1"},
                                                 {2, u"OFFICE", u"K1", u"SRV1"}})
    alike[row].cells = {name, u"", u"", u"", u"", u"", u"", path, machine};
  EXPECT_EQ(OrderedRowIndexes(alike, {}, CollateIgnoringCase), (std::vector<std::size_t>{2, 1, 0}));
}

TEST_F(ViewsTest, DifferencesOnlyShowsTheApplicationsNotOnEveryMachineWithTheSameVersion) {
  const auto record = [](const char16_t* machine, const char16_t* name, const char16_t* version, bool view32 = false) {
    ApplicationRecord r = Record(name, name);
    r.Machine = machine, r.DisplayVersion = version;
    if (view32) r.UninstallKeyPath = kUninstallKeyPath32;
    return r;
  };
  const std::pair<std::vector<ApplicationRecord>, std::set<Text>> cases[] = {  // records, shown "name machine"
      {{record(u"SRV1", u"App", u"1"), record(u"srv2", u"APP", u"1")}, {}},  // letter case ignored
      {{record(u"SRV1", u"App", u"1"), record(u"SRV2", u"App", u"1"), record(u"SRV1", u"Extra", u"1")}, {u"Extra SRV1"}},
      {{record(u"SRV1", u"App", u"1"), record(u"SRV2", u"App", u"2")}, {u"App SRV1", u"App SRV2"}},
      {{record(u"SRV1", u"App", u"1"), record(u"SRV2", u"App", u"1", true)}, {u"App SRV1", u"App SRV2"}},
      {{record(u"SRV1", u"App", u"1"), record(u"SRV1", u"Other", u"1")}, {u"App SRV1", u"Other SRV1"}},  // one machine
  };
  views.SetDifferencesOnly(true);
  for (const auto& [records, shown] : cases) {
    table.Clear();
    for (const auto& r : records) table.Store(r);
    views.Fill(table);
    std::set<Text> rows;
    for (const TableRow& row : gadgets.rows) rows.insert(row.cells[0] + u" " + row.cells[8]);
    EXPECT_EQ(rows, shown) << TextToUtf8(records[1].Machine);
    EXPECT_EQ(gadgets.statusTexts[3], DecimalText(records.size()) + u" applications");  // the count of every record
  }
  views.SetDifferencesOnly(false);
  views.Fill(table);
  EXPECT_EQ(gadgets.rows.size(), 2u);
}

// A log that runs `hook` at the first count line (field 3).
class HookAtCountLine : public ActivityLog {
 public:
  explicit HookAtCountLine(std::function<void()> hook) : hook_(std::move(hook)) {}
  void LogActivity(TextView, ActivityLevel, int field) override {
    if (field == 3 && hook_) std::exchange(hook_, nullptr)();
  }
  void SetStatusProgress(int, int) override {}

 private:
  std::function<void()> hook_;
};

TEST_F(ViewsTest, AFillFromTheWindowThreadDuringAnotherOnesNeverDoublesTheRows) {
  for (int i = 0; i < 3; ++i) table.Store(Record(u"App" + DecimalText(i), u"K" + DecimalText(i)));
  testing::Latch atCountLine, goOn;
  HookAtCountLine hooked([&] {
    atCountLine.Open();
    goOn.Wait();
  });
  ApplicationViews worker{channel, hooked, search, lastMachine};
  std::thread other([&] { worker.Fill(table); });
  atCountLine.Wait();
  views.Fill(table);  // a search click while the other fill is under way
  goOn.Open();
  other.join();
  channel.Drain();
  EXPECT_EQ(gadgets.rows.size(), 3u);
  EXPECT_EQ(gadgets.nodes.size(), 27u);
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, kShadedRowColour}, {2, kShadedRowColour}}));
}

TEST_F(ViewsTest, ADrainTakesWhatWasQueuedWhenItBeganALongFillGoesInPartsAndTheLatestProgressReplacesAnOlder) {
  for (int i = 0; i < 1200; ++i) table.Store(Record(u"App" + DecimalText(i), u"K" + DecimalText(i)));
  std::thread([this] {
    log.SetStatusProgress(1, 9);
    log.SetStatusProgress(2, 9);  // replaces 1, still queued
    channel.Post([this](Gadgets&) {  // work handed over while the drain runs waits for the next
      std::thread([this] { log.LogActivity(u"during", ActivityLevel::None, 1); }).join();
    });
    log.SetStatusProgress(3, 9);
  }).join();
  channel.Drain();
  EXPECT_EQ(gadgets.progress, (std::vector<std::pair<int, int>>{{2, 9}, {3, 9}}));
  EXPECT_TRUE(gadgets.activityTexts.empty());
  std::thread([this] {
    views.Fill(table);
    log.LogActivity(u"after", ActivityLevel::None, 1);
  }).join();
  for (const std::size_t rows : {500, 1000, 1200, 1200}) {  // after each drain
    const int wakesBefore = wakes;
    channel.Drain();
    EXPECT_EQ(gadgets.rows.size(), rows);
    EXPECT_EQ(gadgets.nodes.size(), 9 * rows);
    EXPECT_EQ(wakes, wakesBefore + (rows < 1200 ? 1 : 0));  // unfinished work asks for the next drain
  }
  EXPECT_EQ(gadgets.activityTexts, (std::vector<Text>{u"during", u"1200 applications", u"after"}));
  EXPECT_EQ(gadgets.rowBackgrounds.size(), 600u);
  // Many lines go in parts too, in their order.
  std::thread([this] {
    for (int i = 0; i < 250; ++i) log.LogActivity(DecimalText(i), ActivityLevel::None, 1);
  }).join();
  for (const std::size_t shown : {103u, 203u, 253u}) {
    channel.Drain();
    EXPECT_EQ(gadgets.activityTexts.size(), shown);
  }
  EXPECT_EQ(gadgets.activityTexts.back(), u"249");
}

TEST_F(ViewsTest, AnEmptyTableOrAClearEmptiesTheViews) {
  lastMachine.Set(u"SRV2");
  gadgets.rows.push_back({});
  gadgets.nodes.push_back({});
  gadgets.viewsVisible = false;
  views.Fill(table);  // no count line for an empty table
  EXPECT_TRUE(gadgets.rows.empty() && gadgets.nodes.empty() && gadgets.viewsVisible && gadgets.activityTexts.empty());
  table.Store(Record(u"Alpha", u"K1"));
  views.Fill(table);
  views.Clear();
  EXPECT_TRUE(gadgets.rows.empty() && gadgets.nodes.empty() && gadgets.statusTexts[3].empty());
  EXPECT_EQ(lastMachine.Get(), u"");
}

TEST(NameFilterTest, SubstringWithoutRegardToLetterCase) {
  for (const auto& [name, filter] : {std::pair{u"Microsoft Office", u"micro"}, {u"xmIcRoX", u"micro"}, {u"", u""},
                                     {u"Anything", u""}, {u"Éditeur Ünicode", u"éditeur ü"}, {u"C++ Redist", u"c++"}})
    EXPECT_TRUE(NameMatchesFilter(name, filter)) << TextToUtf8(name);
  // Blanks count like any character, and there is no wildcard.
  for (const auto& [name, filter] : {std::pair{u"Micr osoft", u"micro"}, {u"", u"micro"}, {u"m-icro", u"micro"},
                                     {u"Office", u"office "}, {u"Office 2016", u"Off*"}})
    EXPECT_FALSE(NameMatchesFilter(name, filter)) << TextToUtf8(name);
}

TEST_F(ViewsTest, ALogCallAddsItsRowAndSetsItsFieldTheLevelsIconAndTheProgressBar) {
  // Levels outside 1..3 show no image and leave field 0 as it was, like None; fields outside
  // 0..3 take no text; a text in field 2 hides the progress bar until the next progress.
  log.SetStatusProgress(30, 200);
  log.LogActivity(u"a", ActivityLevel::InProgress, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionEnCours"));
  log.LogActivity(u"b", ActivityLevel::Error, 3);
  log.LogActivity(u"c", ActivityLevel::None, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionErreur"));
  EXPECT_TRUE(gadgets.progressVisible && gadgets.progress.back() == std::pair(30, 200));
  log.LogActivity(u"d", ActivityLevel::Done, 2);
  log.LogActivity(u"e", static_cast<ActivityLevel>(-1), 1);
  log.LogActivity(u"f", static_cast<ActivityLevel>(4), 7);
  EXPECT_EQ(gadgets.activityTexts, (std::vector<Text>{u"a", u"b", u"c", u"d", u"e", u"f"}));
  EXPECT_EQ(gadgets.activityImages, (std::vector<NamedValue>{NamedId(u"ICO_ActionEnCours"), NamedId(u"ICO_ActionErreur"), 0,
                                                             NamedId(u"ICO_ActionTermine"), 0, 0}));
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionTermine"));
  EXPECT_EQ(std::vector<Text>(gadgets.statusTexts, gadgets.statusTexts + 4), (std::vector<Text>{u"", u"e", u"d", u"b"}));
  EXPECT_FALSE(gadgets.progressVisible);
  log.SetStatusProgress(0, 100);
  EXPECT_TRUE(gadgets.progressVisible);
  log.LogActivity(u"", ActivityLevel::None, 3);  // an empty text empties its field
  EXPECT_EQ(gadgets.statusTexts[3], u"");
  RegisterNamedId(u"ICO_ActionErreur", 0, 0, u"");  // an image that failed to load counts as none
  log.LogActivity(u"g", ActivityLevel::Error, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionTermine"));
  EXPECT_EQ(gadgets.activityImages.back(), 0);
}

TEST_F(ViewsTest, CallsFromOtherThreadsArriveWholeInEachThreadsOrderBeforeTheWindowThreadsOwn) {
  // Four callers post while the window thread (this one) is busy elsewhere; its own call then
  // comes after everything queued before it, applied a bounded piece per drain.
  constexpr int kThreads = 4, kCalls = 500;
  std::vector<std::jthread> callers;
  for (int t = 0; t < kThreads; ++t)
    callers.emplace_back([this, t] {
      for (int i = 0; i < kCalls; ++i) log.LogActivity(u"T" + DecimalText(t) + u":" + DecimalText(i), ActivityLevel::None, 1);
    });
  callers.clear();  // joins them
  EXPECT_TRUE(gadgets.activityTexts.empty());  // nothing touched the controls from those threads
  EXPECT_EQ(wakes.load(), 1);                  // at most one wake-up pending
  log.LogActivity(u"from window", ActivityLevel::None, 1);
  for (int drain = 0; drain < 100 && gadgets.activityTexts.size() <= kThreads * kCalls; ++drain) channel.Drain();
  ASSERT_EQ(gadgets.activityTexts.size(), static_cast<std::size_t>(kThreads * kCalls + 1));
  EXPECT_EQ(gadgets.activityTexts.back(), u"from window");
  EXPECT_EQ(gadgets.batches, (kThreads * kCalls + 1 + kWorkPerDrain - 1) / kWorkPerDrain);  // a bounded piece per drain
  int next[kThreads] = {};
  for (std::size_t row = 0; row + 1 < gadgets.activityTexts.size(); ++row) {
    const int t = gadgets.activityTexts[row][1] - u'0';
    EXPECT_EQ(gadgets.activityTexts[row], u"T" + DecimalText(t) + u":" + DecimalText(next[t]++));
  }
  const int wakesBefore = wakes;
  std::thread([this] { log.SetStatusProgress(1, 2); }).join();
  EXPECT_EQ(wakes.load(), wakesBefore + 1);  // after the last drain a new call asks for a new wake-up
}

TEST(UiChannelTest, WorkQueuedBeforeTheWindowExistsWaitsForIt) {
  UiChannel early;
  GadgetActivityLog(early).LogActivity(u"avant", ActivityLevel::None, 1);
  RecordingGadgets later;
  early.Attach(later, [] { return true; });
  EXPECT_TRUE(later.activityTexts.empty());
  early.Drain();
  EXPECT_EQ(later.activityTexts, std::vector<Text>{u"avant"});
  early.Detach();
}

}  // namespace
}  // namespace appcensus
