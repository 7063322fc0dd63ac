// The browse page in a real browser: a collection of 1000 modules, the page
// opened by headless Chromium with a view in its address's fragment, and the
// rows it shows read back from the page as the script left it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "intake/browse.h"
#include "intake_fixture.h"
#include "records/catalogue.h"

namespace kr::test {
namespace {

std::string Chromium() {
  for (const char* c : {"/usr/bin/chromium", "/usr/bin/chromium-browser", "/usr/bin/google-chrome"})
    if (::access(c, X_OK) == 0) return c;
  return {};
}

std::string Capture(const std::string& cmd) {
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

struct Row {
  std::string serial;
  std::vector<std::string> cells;
};

// The rows of the module table in a dumped page.
std::vector<Row> Rows(const std::string& dom) {
  std::vector<Row> rows;
  static const std::regex tr("<tr data-serial=\"([^\"]+)\">(.*?)</tr>");
  static const std::regex td("<td[^>]*>(.*?)</td>");
  static const std::regex tag("<[^>]*>");
  for (auto i = std::sregex_iterator(dom.begin(), dom.end(), tr); i != std::sregex_iterator(); ++i) {
    Row r{(*i)[1], {}};
    const std::string body = (*i)[2];
    for (auto j = std::sregex_iterator(body.begin(), body.end(), td); j != std::sregex_iterator(); ++j)
      r.cells.push_back(std::regex_replace(std::string((*j)[1]), tag, ""));
    rows.push_back(r);
  }
  return rows;
}

std::string Between(const std::string& dom, const std::string& open, const std::string& close) {
  size_t a = dom.find(open);
  if (a == std::string::npos) return {};
  a += open.size();
  return dom.substr(a, dom.find(close, a) - a);
}

// The collection of kModules modules every browse test reads. Made once per
// ctest run by BrowseCollection.Make into the folder KR_BROWSE_COLLECTION
// names (a ctest fixture; the browse tests only read it), or by the suite
// itself into a temporary folder when that is not set. The folder holds the
// intake's maildir and web folder and modules.bin, the modules in their
// order (kSize bytes each), so a test knows what it should see.
class BrowseCollection {
 public:
  static constexpr int kModules = 1000;

  // Makes the collection in dir (which must not hold one yet).
  static bool Make(const std::string& dir) {
    Collection c;
    c.maildir = dir + "/mail";
    c.webdir = dir + "/web";
    for (const char* d : {"", "/mail", "/mail/new", "/mail/cur", "/mail/tmp", "/web"})
      if (::mkdir((dir + d).c_str(), 0700) != 0 && errno != EEXIST) return false;
    ModuleRecord base = MakeModule(c.t.ctx, "base");
    std::string all;
    for (int i = 0; i < kModules; ++i) {
      ModuleRecord m = VariedModule(base, i);
      all.append(reinterpret_cast<const char*>(m.data()), rec::kSize);
      Write(c.maildir + "/new/" + std::to_string(10000 + i), MailWith(FileBytes(m)));
    }
    IntakeSummary s;
    if (!c.Run(s) || s.accepted != kModules) return false;
    Write(dir + "/modules.bin", all);
    return true;
  }
  // The modules of the collection in dir, in their order; empty when it
  // holds none.
  static std::vector<ModuleRecord> Modules(const std::string& dir) {
    const std::string all = Read(dir + "/modules.bin");
    std::vector<ModuleRecord> modules(all.size() / rec::kSize);
    for (size_t i = 0; i < modules.size(); ++i) std::memcpy(modules[i].data(), all.data() + i * rec::kSize, rec::kSize);
    return modules;
  }
};

// Made by the ctest fixture BrowseCollection (tests/intake/CMakeLists.txt).
TEST(BrowseCollection, Make) {
  const char* dir = std::getenv("KR_BROWSE_COLLECTION");
  if (!dir) GTEST_SKIP() << "KR_BROWSE_COLLECTION names no folder to make the collection in";
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);  // what an interrupted run left
  ASSERT_TRUE(BrowseCollection::Make(dir));
}

class Browse : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* shared = std::getenv("KR_BROWSE_COLLECTION");
    if (shared) {
      dir_ = shared;
    } else {
      own_ = new TempDir;
      dir_ = own_->path() + "/collection";
      if (!BrowseCollection::Make(dir_)) return;
    }
    modules_ = BrowseCollection::Modules(dir_);
    webdir_ = dir_ + "/web";
  }
  static void TearDownTestSuite() {
    delete own_;
    own_ = nullptr;
    modules_.clear();
  }
  void SetUp() override {
    ASSERT_EQ(modules_.size(), size_t(kModules)) << "no collection in " << dir_;
    chromium_ = Chromium();
    if (chromium_.empty()) GTEST_SKIP() << "needs a browser: Debian package chromium";
  }
  // The browser's own profile, one per test: tests that run at once share
  // the collection but not a profile.
  std::string Profile() const { return profile_.path(); }
  std::string Dom(const std::string& fragment) {
    return Capture("timeout 120 " + chromium_ + " --headless --no-sandbox --disable-gpu --user-data-dir=" + Profile() +
                   " --virtual-time-budget=10000 --dump-dom 'file://" + webdir_ + "/index.html" + fragment +
                   "' 2>/dev/null");
  }

  static constexpr int kModules = BrowseCollection::kModules;
  static TempDir* own_;
  static std::string dir_, webdir_;
  static std::vector<ModuleRecord> modules_;
  TempDir profile_;
  std::string chromium_;
};
TempDir* Browse::own_ = nullptr;
std::string Browse::dir_, Browse::webdir_;
std::vector<ModuleRecord> Browse::modules_;

TEST_F(Browse, SortsByEveryKindOfColumn) {
  // The processor total, highest first: the page shows the first 500 of 1000.
  std::vector<double> processor;
  for (const ModuleRecord& m : modules_) processor.push_back(m.score(slot::kProcessorTotal).percent);
  std::sort(processor.rbegin(), processor.rend());
  std::string dom = Dom("#sort=processor&dir=desc");
  std::vector<Row> rows = Rows(dom);
  ASSERT_EQ(rows.size(), 500u) << dom.substr(0, 2000);
  for (size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].cells.size(), 9u);
    char want[32];
    std::snprintf(want, sizeof want, "%.2f", processor[i]);
    EXPECT_EQ(rows[i].cells[4], want) << "row " << i;
  }
  EXPECT_EQ(Between(dom, "<p id=\"summary\">", "</p>"), "1000 modules.");
  EXPECT_EQ(Between(dom, "<p id=\"more\">", "</p>"), "Showing the first 500 of 1000; search to narrow the list.");
  EXPECT_NE(dom.find("data-col=\"processor\" class=\"num\" tabindex=\"0\" aria-sort=\"descending\""), std::string::npos);

  // Users in text order, lowest first; each row links to the module's page and file.
  rows = Rows(Dom("#sort=user&dir=asc"));
  ASSERT_GE(rows.size(), 4u);
  EXPECT_EQ(rows[0].cells[1], "user0");
  EXPECT_EQ(rows[1].cells[1], "user1");
  EXPECT_EQ(rows[2].cells[1], "user10");
  EXPECT_EQ(rows[3].cells[1], "user100");
  EXPECT_EQ(rows[0].serial, std::string(ModuleSerial(modules_[0])));
  std::string page = Read(webdir_ + "/" + rows[0].serial + ".html");
  EXPECT_NE(page.find(kCatalogue[0].label), std::string::npos);
  EXPECT_EQ(Read(webdir_ + "/" + rows[0].serial + ".dbe"), FileBytes(modules_[0]));

  // Dates by time, not by text: "01-02-25" comes after "28-01-25".
  rows = Rows(Dom("#sort=date&dir=asc"));
  ASSERT_EQ(rows.size(), 500u);
  auto key = [](const std::string& cell) {  // "DD-MM-YY HH:MM:SS" as YYMMDDHHMMSS
    return cell.substr(6, 2) + cell.substr(3, 2) + cell.substr(0, 2) + cell.substr(9, 2) + cell.substr(12, 2) +
           cell.substr(15, 2);
  };
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(key(rows[i - 1].cells[0]), key(rows[i].cells[0])) << i;
  EXPECT_EQ(rows[0].cells[0], "01-01-20 00:00:00");
}

TEST_F(Browse, SearchFindsEveryWordInAnyColumn) {
  std::string dom = Dom("#q=user123");
  std::vector<Row> rows = Rows(dom);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].serial, std::string(ModuleSerial(modules_[123])));
  EXPECT_EQ(Between(dom, "<p id=\"summary\">", "</p>"), "1 of 1000 modules.");

  // Two words, two columns, any case: every row has both, and no row is missing.
  size_t expected = 0;
  for (const ModuleRecord& m : modules_)
    if (m.text(mod::kCpu, 32).find("Ryzen") != std::string_view::npos && m.text(mod::kOs, 32).substr(0, 6) == "Debian")
      ++expected;
  ASSERT_GT(expected, 0u);
  rows = Rows(Dom("#q=" "RYZEN%20debian&sort=memory&dir=asc"));
  EXPECT_EQ(rows.size(), expected);
  for (const Row& r : rows) {
    EXPECT_EQ(r.cells[2], "AMD Ryzen 7 5800X");
    EXPECT_EQ(r.cells[3], "Debian 12");
  }
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(std::stod(rows[i - 1].cells[5]), std::stod(rows[i].cells[5]));

  EXPECT_TRUE(Rows(Dom("#q=no-such-module")).empty());
}

TEST_F(Browse, ScreenshotShowsTheTable) {
  const std::string png = Profile() + "/browse.png";
  Capture("timeout 120 " + chromium_ + " --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir=" +
          Profile() + " --virtual-time-budget=10000 --window-size=1280,800 --screenshot=" + png + " 'file://" +
          webdir_ + "/index.html#sort=processor&dir=desc' 2>/dev/null");
  std::string bytes = Read(png);
  ASSERT_GT(bytes.size(), 20000u) << "no screenshot, or an empty page";
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
  // KR_BROWSE_SCREENSHOTS=folder keeps this one and one of a module's page
  // (the pictures in the documentation are made so).
  if (const char* keep = std::getenv("KR_BROWSE_SCREENSHOTS")) {
    Write(std::string(keep) + "/collection-browse.png", bytes);
    const std::string page = webdir_ + "/" + std::string(ModuleSerial(modules_[42])) + ".html";
    Capture("timeout 120 " + chromium_ + " --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir=" +
            Profile() + " --window-size=1000,1400 --screenshot=" + keep +
            "/collection-module.png 'file://" + page + "' 2>/dev/null");
  }
}

}  // namespace
}  // namespace kr::test
