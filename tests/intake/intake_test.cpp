#include "intake/intake.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <set>
#include <string>
#include <vector>

#include "intake/browse.h"
#include "intake/mime.h"
#include "intake_fixture.h"

namespace kr::test {
namespace {

class IntakeStore : public testing::TestWithParam<StoreKind> {};
INSTANTIATE_TEST_SUITE_P(Stores, IntakeStore, testing::Values(StoreKind::Sqlite, StoreKind::Postgres), StoreName);

TEST_P(IntakeStore, FilesValidModulesOnceAndRejectsTheRest) {
  KR_NEEDS_STORE(GetParam());
  Collection c(GetParam());
  ModuleRecord ann = MakeModule(c.t.ctx, "ann"), bob = MakeModule(c.t.ctx, "bob");
  const std::string annFile = FileBytes(ann), bobFile = FileBytes(bob);
  std::string annSerial(ModuleSerial(ann)), bobSerial(ModuleSerial(bob));

  ModuleRecord tampered = ann;  // a figure changed after the serial was made
  tampered.setFigure(rec::kBogomips, 9999.0);
  ModuleRecord badSerial = ann;
  badSerial.set_text(mod::kSerial, mod::kSerialWidth, "0x0123456789abcdef0123456789abcdef");
  ModuleRecord old = MakeModule(c.t.ctx, "old");
  old.set_text(mod::kVersion, mod::kVersionWidth, "0.949");
  old.set_text(mod::kSerial, mod::kSerialWidth, "");
  MakeModuleSerial(old);

  c.Mail("new/1-ann", MailWith(annFile, annSerial + ".dbe", false, "ann@example.org"));
  c.Mail("new/2-ann-again", MailWith(annFile, annSerial + ".dbe", true, "ann@example.org"));
  c.Mail("new/3-tampered", MailWith(FileBytes(tampered)));
  c.Mail("new/4-lowercase", MailWith(FileBytes(badSerial)));
  c.Mail("new/5-old", MailWith(FileBytes(old)));
  c.Mail("new/6-short", MailWith(annFile.substr(0, 9503)));
  c.Mail("new/7-plain", "From: x@example.org\nSubject: hello\n\njust text\n");
  c.Mail("new/8-noheader-end", "From: x");
  c.Mail("new/9-huge", MailWith(std::string(2 << 20, 'x')));
  std::string notBase64 = MailWith(annFile);
  notBase64.replace(notBase64.find("Content-Transfer-Encoding: base64"), 33, "Content-Transfer-Encoding: 8bit");
  c.Mail("new/a-8bit", notBase64);
  std::string damaged = MailWith(annFile);
  damaged[damaged.find("\n\n", damaged.find("filename=")) + 5] = '*';
  c.Mail("new/b-damaged", damaged);
  c.Mail("cur/c-bob:2,", MailWith(bobFile, "module.DBE", false, "bob@example.org"));
  c.Mail("cur/d-seen:2,S", MailWith(annFile));  // taken before: not read again

  IntakeSummary s;
  ASSERT_TRUE(c.Run(s)) << testing::PrintToString(c.log);
  EXPECT_EQ(s.accepted, 3);
  EXPECT_EQ(s.rejected, 9);
  EXPECT_EQ(s.failed, 0);
  EXPECT_EQ(s.filed, 2);
  EXPECT_EQ(Read(c.webdir + "/" + annSerial + ".dbe"), annFile);
  EXPECT_EQ(Read(c.webdir + "/" + bobSerial + ".dbe"), bobFile);
  std::vector<std::string> files = {annSerial + ".dbe", annSerial + ".html", bobSerial + ".dbe", bobSerial + ".html",
                                    "browse.css", "browse.js", "database.dbi", "index.html", "modules.js"};
  std::sort(files.begin(), files.end());
  EXPECT_EQ(Names(c.webdir), files);
  std::vector<IndexEntry> index = c.Index();
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[0].bytes, MakeIndexEntry(ann).bytes);
  EXPECT_EQ(index[1].bytes, MakeIndexEntry(bob).bytes);

  EXPECT_TRUE(Names(c.maildir + "/new").empty());
  EXPECT_EQ(Names(c.maildir + "/cur"),
            (std::vector<std::string>{"1-ann:2,S", "2-ann-again:2,S", "c-bob:2,S", "d-seen:2,S"}));
  EXPECT_EQ(Names(c.maildir + "/rejected"),
            (std::vector<std::string>{"3-tampered", "4-lowercase", "5-old", "6-short", "7-plain", "8-noheader-end",
                                      "9-huge", "a-8bit", "b-damaged"}));
  // Refusals are logged as they happen, acceptances once the batch is filed.
  const std::vector<std::string> expectedLog = {
      "new/3-tampered from <me@example.org>: rejected: module serial does not match its contents",
      "new/4-lowercase from <me@example.org>: rejected: module serial is not well formed",
      "new/5-old from <me@example.org>: rejected: module is too old",
      "new/6-short from <me@example.org>: rejected: module attachment is not 9504 bytes",
      "new/7-plain from x@example.org: rejected: no .dbe attachment",
      "new/8-noheader-end from x: rejected: not a readable MIME mail",
      "new/9-huge from <me@example.org>: rejected: mail is larger than 1 MiB",
      "new/a-8bit from <me@example.org>: rejected: module attachment is not base64",
      "new/b-damaged from <me@example.org>: rejected: module attachment is not valid base64",
      "new/1-ann from <ann@example.org>: accepted " + annSerial,
      "new/2-ann-again from <ann@example.org>: accepted " + annSerial + " (filed before)",
      "cur/c-bob:2, from <bob@example.org>: accepted " + bobSerial,
  };
  EXPECT_EQ(c.log, expectedLog);

  // Running again changes nothing; a resent module counts as accepted and is
  // not listed twice.
  c.Mail("new/e-bob-again", MailWith(bobFile));
  const std::string indexBefore = Read(c.webdir + "/database.dbi");
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(s.accepted, 1);
  EXPECT_EQ(s.rejected, 0);
  EXPECT_EQ(Read(c.webdir + "/database.dbi"), indexBefore);
}

// Two intakes at once, on one Maildir or on two, filing into one store and
// one web folder: every module is listed once, none is lost.
TEST_P(IntakeStore, ConcurrentRunsKeepEveryModule) {
  KR_NEEDS_STORE(GetParam());
  Collection c(GetParam());
  if (c.store.empty()) c.store = c.root.path() + "/store.sqlite";
  const std::string otherMail = c.root.path() + "/mail2";
  for (const char* d : {"", "/new", "/cur", "/tmp"}) ::mkdir((otherMail + d).c_str(), 0700);
  ModuleRecord base = MakeModule(c.t.ctx, "x");
  std::set<std::string> serials;
  const int perMaildir = 120;
  for (int i = 0; i < 2 * perMaildir; ++i) {
    ModuleRecord m = VariedModule(base, i);
    serials.insert(std::string(ModuleSerial(m)));
    const std::string dir = i < perMaildir ? c.maildir : otherMail;
    Write(dir + "/new/" + std::to_string(1000 + i), MailWith(FileBytes(m)));
  }
  // Four runs: two on each Maildir.
  std::vector<pid_t> children;
  for (int k = 0; k < 4; ++k) {
    IntakeOptions o = c.Options();
    if (k % 2) o.maildir = otherMail;
    o.batch = 7;
    pid_t pid = ::fork();
    if (pid == 0) {
      IntakeSummary s;
      _exit(RunIntake(o, [](const std::string&) {}, s) ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::vector<std::string> listed = c.IndexSerials();
  EXPECT_EQ(listed.size(), serials.size());
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), serials);
  EXPECT_TRUE(Names(c.maildir + "/new").empty());
  EXPECT_TRUE(Names(otherMail + "/new").empty());
  EXPECT_EQ(Names(c.maildir + "/cur").size() + Names(otherMail + "/cur").size(), size_t(2 * perMaildir));
}

// A run killed at any point, then a run to the end: every module listed
// exactly once, every mail where it belongs, no temporary left behind.
TEST_P(IntakeStore, KilledAtEveryStepThenRecovered) {
  KR_NEEDS_STORE(GetParam());
  TestContext maker;
  ModuleRecord base = MakeModule(maker.ctx, "k");
  std::vector<std::string> files;
  std::set<std::string> serials;
  for (int i = 0; i < 5; ++i) {
    ModuleRecord m = VariedModule(base, i);
    files.push_back(FileBytes(m));
    serials.insert(std::string(ModuleSerial(m)));
  }
  bool finished = false;
  int kills = 0;
  for (int k = 1; !finished && k < 200; ++k) {
    SCOPED_TRACE("killed at step " + std::to_string(k));
    Collection c(GetParam());
    c.publishLimit = 4;  // one module falls off the list: its files are removed too
    c.Mail("new/1", MailWith(files[0]));
    c.Mail("new/2", MailWith(files[1]));
    c.Mail("new/3", "From: x\n\nnot a module\n");
    c.Mail("new/4", MailWith(files[1]));  // the same module again
    c.Mail("new/5", MailWith(files[2]));
    c.Mail("new/6", MailWith(files[3]));
    c.Mail("new/7", MailWith(files[4]));
    IntakeOptions o = c.Options();
    o.batch = 2;
    o.step = [k](int step) {
      if (step == k) ::raise(SIGKILL);
    };
    pid_t pid = ::fork();
    if (pid == 0) {
      IntakeSummary s;
      _exit(RunIntake(o, [](const std::string&) {}, s) ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (WIFEXITED(status)) {
      finished = true;  // a run with fewer steps than k: the last round
      EXPECT_EQ(WEXITSTATUS(status), 0);
    } else {
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      ++kills;
    }
    IntakeSummary s;
    ASSERT_TRUE(c.Run(s)) << testing::PrintToString(c.log);
    std::vector<std::string> listed = c.IndexSerials();
    std::vector<std::string> newest;
    for (int i = 1; i < 5; ++i) newest.emplace_back(ModuleSerial(VariedModule(base, i)));
    EXPECT_EQ(listed, newest);
    EXPECT_EQ(s.filed, 5);
    EXPECT_TRUE(Names(c.maildir + "/new").empty());
    EXPECT_EQ(Names(c.maildir + "/cur"),
              (std::vector<std::string>{"1:2,S", "2:2,S", "4:2,S", "5:2,S", "6:2,S", "7:2,S"}));
    EXPECT_EQ(Names(c.maildir + "/rejected"), std::vector<std::string>{"3"});
    std::vector<std::string> served;
    for (const std::string& n : Names(c.webdir))
      if (n.size() > 4 && n.substr(n.size() - 4) == ".dbe") served.push_back(n.substr(0, n.size() - 4));
    std::sort(newest.begin(), newest.end());
    EXPECT_EQ(served, newest);
    for (const std::string& n : Names(c.webdir)) EXPECT_NE(n.substr(0, 8), ".intake-") << n;
  }
  EXPECT_TRUE(finished);
  // Import, four batches (refusals, commit, moves), eight module files and
  // pages, the index and the browse files: every one of them a place to die.
  EXPECT_GE(kills, 25);
}

TEST_P(IntakeStore, PublishesTheNewestUpToTheCapAndSaysSo) {
  KR_NEEDS_STORE(GetParam());
  Collection c(GetParam());
  c.publishLimit = 3;
  ModuleRecord base = MakeModule(c.t.ctx, "cap");
  std::vector<std::string> serials;
  for (int i = 0; i < 5; ++i) {
    ModuleRecord m = VariedModule(base, i);
    serials.emplace_back(ModuleSerial(m));
    c.Mail("new/" + std::to_string(i), MailWith(FileBytes(m)));
  }
  IntakeSummary s;
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(s.filed, 5);
  EXPECT_EQ(s.published, 3);
  EXPECT_EQ(c.IndexSerials(), std::vector<std::string>(serials.begin() + 2, serials.end()));
  EXPECT_EQ(c.log.back(), "the store holds 5 modules; database.dbi lists the newest 3, the most a client accepts");
  EXPECT_FALSE(Exists(c.webdir + "/" + serials[0] + ".dbe"));
  EXPECT_TRUE(Exists(c.webdir + "/" + serials[4] + ".dbe"));
  // Without a limit the list is as long as a client accepts.
  c.publishLimit = 0;
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(c.IndexSerials(), serials);
  EXPECT_TRUE(Exists(c.webdir + "/" + serials[0] + ".html"));
  EXPECT_EQ(IntakeOptions().publishLimit, 0);  // 0 stands for kMaxServerEntries (50000)
}

// The web folder as an older intake left it becomes the new store's
// content; an index that cannot be read stops the run with nothing written.
TEST(Intake, ImportsTheServedFolderIntoANewStore) {
  Collection c;
  ModuleRecord base = MakeModule(c.t.ctx, "imp");
  std::vector<IndexEntry> entries;
  std::vector<std::string> serials;
  for (int i = 0; i < 3; ++i) {
    ModuleRecord m = VariedModule(base, i);
    entries.push_back(MakeIndexEntry(m));
    serials.emplace_back(ModuleSerial(m));
    if (i != 1) Write(c.webdir + "/" + serials.back() + ".dbe", FileBytes(m));  // the second one's file is lost
  }
  std::vector<uint8_t> index = IndexBytes(entries);
  Write(c.webdir + "/database.dbi", std::string(index.begin(), index.end()));
  ModuleRecord fresh = VariedModule(base, 7);
  c.Mail("new/1", MailWith(FileBytes(fresh)));
  IntakeSummary s;
  ASSERT_TRUE(c.Run(s)) << testing::PrintToString(c.log);
  EXPECT_EQ(c.IndexSerials(), (std::vector<std::string>{serials[0], serials[2], std::string(ModuleSerial(fresh))}));
  EXPECT_NE(std::find(c.log.begin(), c.log.end(), "import: 2 of 3 modules of " + c.webdir + "/database.dbi taken into the store"),
            c.log.end());
  // Imported once: a later damaged index is simply regenerated.
  Write(c.webdir + "/database.dbi", "garbage");
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(c.IndexSerials().size(), 3u);
}

TEST(Intake, RefusesAnIndexItCannotRead) {
  std::string good;
  {
    TestContext t;
    std::vector<uint8_t> b = IndexBytes({MakeIndexEntry(MakeModule(t.ctx, "a")), MakeIndexEntry(MakeModule(t.ctx, "b"))});
    good.assign(b.begin(), b.end());
  }
  struct Case {
    const char* what;
    std::string index;  // empty: a folder stands in its place
  };
  const Case cases[] = {
      {"one byte short", good.substr(0, good.size() - 1)},
      {"one byte over", good + "x"},
      {"shorter than the count", "2"},
      {"count says three", "3" + good.substr(1)},
      {"count is no number", std::string("abc\0\0\0\0\0\0\0", 10) + good.substr(10)},
      {"count is negative", std::string("-2\0\0\0\0\0\0\0\0", 10) + good.substr(10)},
      {"a folder", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Collection c;
    if (k.index.empty()) ::mkdir((c.webdir + "/database.dbi").c_str(), 0700);
    else Write(c.webdir + "/database.dbi", k.index);
    c.Mail("new/1", MailWith(FileBytes(MakeModule(c.t.ctx, "ann"))));
    IntakeSummary s;
    EXPECT_FALSE(c.Run(s));
    ASSERT_FALSE(c.log.empty());
    EXPECT_NE(c.log.back().find("nothing was changed"), std::string::npos) << c.log.back();
    if (!k.index.empty()) {
      EXPECT_EQ(Read(c.webdir + "/database.dbi"), k.index);
    }
    EXPECT_EQ(Names(c.webdir), std::vector<std::string>{"database.dbi"});
    EXPECT_EQ(Names(c.maildir + "/new"), std::vector<std::string>{"1"});
  }
  // A missing index is an empty collection.
  Collection c;
  c.Mail("new/1", MailWith(FileBytes(MakeModule(c.t.ctx, "ann"))));
  IntakeSummary s;
  EXPECT_TRUE(c.Run(s));
  EXPECT_EQ(c.Index().size(), 1u);
}

TEST(Intake, WhatCannotBeWrittenIsWrittenByTheNextRun) {
  Collection c;
  ModuleRecord m = MakeModule(c.t.ctx, "ann");
  const std::string serial(ModuleSerial(m));
  c.Mail("new/1", MailWith(FileBytes(m)));
  // The module file cannot be written: a folder stands in its place.
  ::mkdir((c.webdir + "/" + serial + ".dbe").c_str(), 0700);
  IntakeSummary s;
  EXPECT_FALSE(c.Run(s));
  EXPECT_EQ(s.accepted, 1);  // filed in the store all the same
  EXPECT_NE(c.log.back().find("cannot replace " + c.webdir + "/" + serial + ".dbe: Is a directory"), std::string::npos)
      << c.log.back();
  EXPECT_FALSE(Exists(c.webdir + "/database.dbi"));  // no index naming a module that is not there
  ::rmdir((c.webdir + "/" + serial + ".dbe").c_str());
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(c.IndexSerials(), std::vector<std::string>{serial});
  EXPECT_EQ(Read(c.webdir + "/" + serial + ".dbe"), FileBytes(m));

  IntakeSummary none;
  EXPECT_FALSE(RunIntake(c.root.path() + "/no-such-maildir", c.webdir, [](const std::string&) {}, none));
}

TEST(Intake, LinksNamesAndTemporaries) {
  Collection c;
  ModuleRecord m = MakeModule(c.t.ctx, "ann");
  // A link in new/ to a mail elsewhere is refused, not followed.
  Write(c.root.path() + "/elsewhere", MailWith(FileBytes(m)));
  ASSERT_EQ(::symlink((c.root.path() + "/elsewhere").c_str(), (c.maildir + "/new/1-link").c_str()), 0);
  // Names and senders with control characters and blanks are escaped.
  c.Mail("new/2 odd\x1b[2Jname", MailWith(FileBytes(MakeModule(c.t.ctx, "bob")), "0x.dbe", false, "evil\x1b[31m x@y"));
  // Temporaries a killed run left behind.
  Write(c.webdir + "/.intake-Ab3dE9fGh1JkL2mN", "half");
  // A link planted where the browse page goes is replaced, its target not written.
  Write(c.root.path() + "/precious", "keep");
  ASSERT_EQ(::symlink((c.root.path() + "/precious").c_str(), (c.webdir + "/index.html").c_str()), 0);
  IntakeSummary s;
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(s.accepted, 1);
  EXPECT_EQ(s.rejected, 1);
  EXPECT_EQ(Names(c.maildir + "/rejected"), std::vector<std::string>{"1-link"});
  EXPECT_EQ(c.log[0], "removed 1 temporary files a stopped run left in " + c.webdir);
  EXPECT_EQ(c.log[1], "new/1-link: rejected: a symbolic link, not a mail");
  EXPECT_EQ(c.log[2].substr(0, 63), "new/2\\x20odd\\x1b[2Jname from <evil\\x1b[31m\\x20x@y>: accepted 0x");
  EXPECT_FALSE(Exists(c.webdir + "/.intake-Ab3dE9fGh1JkL2mN"));
  EXPECT_EQ(Read(c.root.path() + "/elsewhere"), MailWith(FileBytes(m)));
  EXPECT_EQ(Read(c.root.path() + "/precious"), "keep");
  struct stat st;
  ASSERT_EQ(::lstat((c.webdir + "/index.html").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(Read(c.webdir + "/index.html"), kBrowseHtml);
}

TEST(Mime, PartsOfNestedAndFoldedMails) {
  const std::string mail =
      "Content-Type: multipart/mixed;\r\n\tboundary=outer\r\n\r\npreamble\r\n"
      "--outer\r\nContent-Type: multipart/alternative; boundary=\"in ner\"\r\n\r\n"
      "--in ner\r\nContent-Type: text/plain\r\n\r\nhello\r\n--in ner--\r\n"
      "--outer\r\nContent-Type: application/octet-stream; name=a.dbe\r\n"
      "Content-Disposition: attachment;\r\n filename=\"b.dbe\"; size=3\r\nContent-Transfer-Encoding: BASE64\r\n\r\n"
      "YWJj\r\n--outer--\r\nepilogue\r\n";
  std::vector<MimePart> parts;
  ASSERT_TRUE(MimeLeafParts(mail, parts));
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].contentType, "text/plain");
  EXPECT_EQ(parts[0].body, "hello");
  EXPECT_EQ(parts[1].fileName, "b.dbe");  // the disposition's name wins
  EXPECT_EQ(parts[1].transferEncoding, "base64");
  EXPECT_EQ(parts[1].body, "YWJj");
  for (std::string bad : {"Content-Type: multipart/mixed\n\n--x\n", "Content-Type: multipart/mixed; boundary=x\n\nno parts\n"}) {
    EXPECT_FALSE(MimeLeafParts(bad, parts)) << bad;
  }
  // Nesting beyond a few levels is refused, not followed.
  std::string deep = "Content-Type: multipart/mixed; boundary=b\n\n";
  for (int i = 0; i < 50; ++i) deep += "--b\nContent-Type: multipart/mixed; boundary=b\n\n";
  EXPECT_FALSE(MimeLeafParts(deep, parts));
}

}  // namespace
}  // namespace kr::test
