#include "intake/intake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "intake/mime.h"
#include "modules/module_index.h"
#include "net/base64.h"
#include "net/smtp.h"
#include "net_fixture.h"

namespace kr::test {
namespace {

using namespace net_files;

// A mail as the upload composes it (the text after DATA, without the final
// "."), with LF line ends as a Maildir keeps it.
std::string MailWith(const std::string& attachment, const std::string& name = "0x.dbe", bool crlf = false) {
  MailPieces p;
  p.hostName = "host";
  p.email = "me@example.org";
  p.realName = "Me";
  p.userName = "me";
  p.mailbox = "modules@example.org";
  p.fileName = name;
  EncodeBase64(reinterpret_cast<const uint8_t*>(attachment.data()), attachment.size(), p.base64, "\r\n");
  std::string text = ComposeModuleMail(p)[5].text;
  text = "Return-Path: <me@example.org>\r\n" + text.substr(0, text.size() - 3);
  if (!crlf) {
    std::string lf;
    for (char c : text)
      if (c != '\r') lf += c;
    text = lf;
  }
  return text;
}

struct Collection {
  TestContext t;  // a context to make modules with
  TempDir root;
  std::string maildir = root.path() + "/mail", webdir = root.path() + "/web";
  std::vector<std::string> log;

  Collection() {
    for (const char* d : {"/mail", "/mail/new", "/mail/cur", "/mail/tmp", "/web"}) ::mkdir((root.path() + d).c_str(), 0700);
  }
  void Mail(const std::string& where, const std::string& text) { Write(maildir + "/" + where, text); }
  bool Run(IntakeSummary& s) {
    log.clear();
    return RunIntake(maildir, webdir, [&](const std::string& l) { log.push_back(l); }, s);
  }
  std::vector<IndexEntry> Index() const {
    std::string b = Read(webdir + "/database.dbi");
    return ParseIndex(reinterpret_cast<const uint8_t*>(b.data()), b.size()).entries;
  }
};

TEST(Intake, FilesValidModulesOnceAndRejectsTheRest) {
  Collection c;
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

  c.Mail("new/1-ann", MailWith(annFile, annSerial + ".dbe"));
  c.Mail("new/2-ann-again", MailWith(annFile, annSerial + ".dbe", true));
  c.Mail("new/3-tampered", MailWith(FileBytes(tampered)));
  c.Mail("new/4-lowercase", MailWith(FileBytes(badSerial)));
  c.Mail("new/5-old", MailWith(FileBytes(old)));
  c.Mail("new/6-short", MailWith(annFile.substr(0, 9503)));
  c.Mail("new/7-plain", "From: x\nSubject: hello\n\njust text\n");
  c.Mail("new/8-noheader-end", "From: x");
  c.Mail("new/9-huge", MailWith(std::string(2 << 20, 'x')));
  std::string notBase64 = MailWith(annFile);
  notBase64.replace(notBase64.find("Content-Transfer-Encoding: base64"), 33, "Content-Transfer-Encoding: 8bit");
  c.Mail("new/a-8bit", notBase64);
  std::string damaged = MailWith(annFile);
  damaged[damaged.find("\n\n", damaged.find("filename=")) + 5] = '*';
  c.Mail("new/b-damaged", damaged);
  c.Mail("cur/c-bob:2,", MailWith(bobFile, "module.DBE"));
  c.Mail("cur/d-seen:2,S", MailWith(annFile));  // taken before: not read again

  IntakeSummary s;
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(s.accepted, 2);
  EXPECT_EQ(s.rejected, 10);
  EXPECT_EQ(s.failed, 0);
  EXPECT_EQ(Read(c.webdir + "/" + annSerial + ".dbe"), annFile);
  EXPECT_EQ(Read(c.webdir + "/" + bobSerial + ".dbe"), bobFile);
  std::vector<std::string> files = {annSerial + ".dbe", bobSerial + ".dbe", "database.dbi"};
  std::sort(files.begin(), files.end());
  EXPECT_EQ(Names(c.webdir), files);
  std::vector<IndexEntry> index = c.Index();
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[0].bytes, MakeIndexEntry(ann).bytes);
  EXPECT_EQ(index[1].bytes, MakeIndexEntry(bob).bytes);

  EXPECT_TRUE(Names(c.maildir + "/new").empty());
  EXPECT_EQ(Names(c.maildir + "/cur"), (std::vector<std::string>{"1-ann:2,S", "c-bob:2,S", "d-seen:2,S"}));
  EXPECT_EQ(Names(c.maildir + "/rejected"),
            (std::vector<std::string>{"2-ann-again", "3-tampered", "4-lowercase", "5-old", "6-short", "7-plain",
                                      "8-noheader-end", "9-huge", "a-8bit", "b-damaged"}));
  const std::vector<std::string> expectedLog = {
      "new/1-ann: accepted " + annSerial,
      "new/2-ann-again: rejected: serial " + annSerial + " is already filed",
      "new/3-tampered: rejected: module serial does not match its contents",
      "new/4-lowercase: rejected: module serial is not well formed",
      "new/5-old: rejected: module is too old",
      "new/6-short: rejected: module attachment is not 9504 bytes",
      "new/7-plain: rejected: no .dbe attachment",
      "new/8-noheader-end: rejected: not a readable MIME mail",
      "new/9-huge: rejected: mail is larger than 1 MiB",
      "new/a-8bit: rejected: module attachment is not base64",
      "new/b-damaged: rejected: module attachment is not valid base64",
      "cur/c-bob:2,: accepted " + bobSerial,
  };
  EXPECT_EQ(c.log, expectedLog);

  // Running again changes nothing; a resent module is refused, not added.
  c.Mail("new/e-bob-again", MailWith(bobFile));
  const std::string indexBefore = Read(c.webdir + "/database.dbi");
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(s.accepted, 0);
  EXPECT_EQ(s.rejected, 1);
  EXPECT_EQ(Read(c.webdir + "/database.dbi"), indexBefore);
}

TEST(Intake, WhatCannotBeWrittenStaysInPlace) {
  Collection c;
  ModuleRecord m = MakeModule(c.t.ctx, "ann");
  c.Mail("new/1", MailWith(FileBytes(m)));
  // The index cannot be replaced: a folder stands in its place.
  ::mkdir((c.webdir + "/database.dbi").c_str(), 0700);
  IntakeSummary s;
  EXPECT_FALSE(c.Run(s));
  EXPECT_EQ(s.failed, 1);
  EXPECT_EQ(Names(c.maildir + "/new"), std::vector<std::string>{"1"});
  EXPECT_EQ(Names(c.webdir), std::vector<std::string>{"database.dbi"});  // no module file without its entry
  ::rmdir((c.webdir + "/database.dbi").c_str());
  // Taken next time.
  ASSERT_TRUE(c.Run(s));
  EXPECT_EQ(s.accepted, 1);
  EXPECT_EQ(c.Index().size(), 1u);

  IntakeSummary none;
  EXPECT_FALSE(RunIntake(c.root.path() + "/no-such-maildir", c.webdir, [](const std::string&) {}, none));
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
