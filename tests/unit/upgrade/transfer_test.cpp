// The package transfer's exchanges over a scripted link (what was sent, byte for byte, and how
// the camera's answers are read), and the upgrade flow's decisions per family.
#include "core/upgrade/upgrade_flow.h"
#include "net/upgrade/pk2_transfer.h"
#include "unit/upgrade/pk2_builder.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace kestrova::upgrade {
namespace {

using namespace std::string_literals;

using testing::Pk2Header;
using testing::Pk2Record;
using testing::U32;
std::string Hex2Raw(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}
// Plain bytes equal to the repeated key scramble to zeros.
std::string KeyRepeated(size_t n) {
  const uint8_t key[8] = {0x5A, 0x3C, 0x96, 0x0F, 0xA5, 0xC3, 0x69, 0xF0};
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(key[i % 8]);
  return s;
}

// A camera that answers each message with the next scripted answer (default "REPLY OK\r\n"),
// delivered in the given pieces; once the script says so it closes.
class ScriptLink : public TUpgradeLink {
 public:
  std::vector<std::string> sent;
  std::deque<std::vector<std::string>> answers;  // per message: the pieces of its answer
  bool SendMessage(std::string_view b) override {
    sent.emplace_back(b);
    std::vector<std::string> pieces = {"REPLY OK\r\n"};
    if (!answers.empty()) {
      pieces = answers.front();
      answers.pop_front();
    }
    for (auto& p : pieces) incoming.push_back(p);
    return true;
  }
  long Receive(char* buf, size_t max, int) override {
    if (incoming.empty()) return 0;  // nothing more will come: the camera hung up
    std::string& f = incoming.front();
    const size_t n = std::min(max, f.size());
    std::copy_n(f.data(), n, buf);
    f.erase(0, n);
    if (f.empty()) incoming.pop_front();
    return static_cast<long>(n);
  }
  std::deque<std::string> incoming;
};

std::string FileRecordPackage(const std::string& name, const std::string& data) { return testing::Pk2OneFile(name, data); }

bool Send(ScriptLink& link, const std::string& package, TSendState& st) {
  auto pkg = ParsePackage(package);
  EXPECT_TRUE(pkg);
  if (!pkg) return false;
  TReplyReader reader(link);
  return SendRecord(link, reader, package, pkg->Records.at(0), st);
}

TEST(Pk2Transfer, FileRecordOf3000BytesGoesAsThreeChunksAndTheDigestOfTheScrambledData) {
  ScriptLink link;
  TSendState st;
  ASSERT_TRUE(Send(link, FileRecordPackage("fw.bin", KeyRepeated(3000)), st));
  // The data scrambles to zeros; md5 of 3000 zero bytes: 0efa007088f326bbc072c34315f3edb8.
  const std::vector<std::string> want = {
      "FILE 11\r\nfw.bin 3000",
      "DATA 1400\r\n" + std::string(1400, '\0'),
      "DATA 1400\r\n" + std::string(1400, '\0'),
      "DATA 200\r\n" + std::string(200, '\0'),
      "MD5 16\r\n" + Hex2Raw("0efa007088f326bbc072c34315f3edb8"),
  };
  EXPECT_EQ(link.sent, want);
  EXPECT_EQ(st.Sent, 3000u);
}

TEST(Pk2Transfer, EmptyFileRecordSendsNoChunkAndTheDigestOfNothing) {
  ScriptLink link;
  TSendState st;
  ASSERT_TRUE(Send(link, FileRecordPackage("empty", ""), st));
  const std::vector<std::string> want = {"FILE 7\r\nempty 0", "MD5 16\r\n" + Hex2Raw("d41d8cd98f00b204e9800998ecf8427e")};
  EXPECT_EQ(link.sent, want);
}

TEST(Pk2Transfer, CommandRecordIsOneScrambledMessageAndOtherTagsAreSkipped) {
  const std::string package = Pk2Header(2) + Pk2Record("XTRA", "abc") + Pk2Record("CMD ", "\0\0\xff"s);
  auto pkg = ParsePackage(package);
  ASSERT_TRUE(pkg);
  ScriptLink link;
  TReplyReader reader(link);
  TSendState st;
  EXPECT_TRUE(SendRecord(link, reader, package, pkg->Records[0], st));
  EXPECT_TRUE(link.sent.empty()) << "a record of another tag sends nothing";
  EXPECT_TRUE(SendRecord(link, reader, package, pkg->Records[1], st));
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.sent[0], "CMD 3\r\n\x5A\x3C\x69"s);
}

TEST(Pk2Transfer, RefusedChunkStopsTheRecord) {
  ScriptLink link;
  link.answers = {{"REPLY OK\r\n"}, {"REPLY ERROR md5\r\n"}};
  TSendState st;
  EXPECT_FALSE(Send(link, FileRecordPackage("fw.bin", std::string(3000, 'a')), st));
  EXPECT_EQ(link.sent.size(), 2u) << "nothing after the refused chunk";
  EXPECT_NE(st.Why.find("REPLY ERROR md5"), std::string::npos) << st.Why;
}

TEST(Pk2Transfer, CancelStopsBeforeTheNextMessage) {
  ScriptLink link;
  TSendState st;
  int calls = 0;
  TPk2ProgressFn report = [&](const TPk2Progress&) { return ++calls < 3; };
  st.Report = &report;
  EXPECT_FALSE(Send(link, FileRecordPackage("fw.bin", std::string(3000, 'a')), st));
  EXPECT_TRUE(st.Cancelled);
  EXPECT_EQ(link.sent.size(), 3u) << "the announcement and two chunks, then nothing";
}

// How answers are read: split, joined, too long, Continue in bounds and beyond.
TEST(Pk2Transfer, RepliesAreReadWhateverTheirSegments) {
  struct Case {
    const char* what;
    std::vector<std::string> pieces;
    TReplyResult want;
  } cases[] = {
      {"plain", {"REPLY OK\r\n"}, TReplyResult::Accepted},
      {"split over reads", {"REP", "LY ", "OK\r\n"}, TReplyResult::Accepted},
      {"no line end", {"REPLY OK"}, TReplyResult::Accepted},
      {"Continue 1, then OK", {"REPLY Continue 1\r\n", "REPLY OK\r\n"}, TReplyResult::Accepted},
      {"Continue and OK in one segment", {"REPLY Continue 1\r\nREPLY OK\r\n"}, TReplyResult::Accepted},
      {"Continue 0", {"REPLY Continue 0\r\n"}, TReplyResult::Refused},
      {"error", {"REPLY ERROR\r\n"}, TReplyResult::Refused},
      {"not a reply", {"HTTP/1.0 200 OK\r\n"}, TReplyResult::Refused},
      {"longer than the buffer", {"REPLY OK" + std::string(500, 'x') + "\r\n"}, TReplyResult::Accepted},
      {"closed without answer", {}, TReplyResult::Failed},
      {"Continue and then closed", {"REPLY Continue 1\r\n"}, TReplyResult::Failed},
  };
  for (const auto& c : cases) {
    ScriptLink link;
    for (auto& p : c.pieces) link.incoming.push_back(p);
    TReplyReader r(link);
    EXPECT_EQ(ReadReply(r), c.want) << c.what;
  }
}

TEST(Pk2Transfer, AtMostSixteenContinueInARow) {
  for (int n : {16, 17}) {
    ScriptLink link;
    for (int i = 0; i < n; ++i) link.incoming.push_back("REPLY Continue 1\r\n");
    link.incoming.push_back("REPLY OK\r\n");
    TReplyReader r(link);
    std::string why;
    EXPECT_EQ(ReadReply(r, &why), n <= kMaxContinue ? TReplyResult::Accepted : TReplyResult::Failed) << n;
  }
}

TEST(Pk2Transfer, TheRestOfAnOverlongAnswerIsNotTheNextAnswer) {
  ScriptLink link;
  link.incoming = {"REPLY OK" + std::string(450, 'y'), std::string(100, 'z') + "\r\nREPLY ERROR\r\n"};
  TReplyReader r(link);
  EXPECT_EQ(ReadReply(r), TReplyResult::Accepted);
  EXPECT_EQ(ReadReply(r), TReplyResult::Refused);
}

// ---- the flow -------------------------------------------------------------------------------

struct FakeIo {
  std::string content;
  bool exists = true, readable = true;
  std::vector<std::string> calls;
  TTransferResult result{true, false, "", ""};
  TUploadForm lastForm;
  TUpgradeIo Io() {
    TUpgradeIo io;
    io.FileExists = [this](const std::string&) { return exists; };
    io.ReadFile = [this](const std::string&, size_t max) -> std::optional<std::string> {
      if (!readable) return std::nullopt;
      return content.substr(0, max);
    };
    io.PostForm = [this](const TUploadForm& f, const std::string&) {
      calls.push_back("post " + f.Url);
      lastForm = f;
      return result;
    };
    io.SendPackage = [this](const std::string& p, const TUpgradeTarget&) {
      calls.push_back("package " + p);
      return result;
    };
    io.Driver = [this](TUpgradeKind k, const std::string& base, const std::string&, const std::string&,
                       const std::string&) {
      calls.push_back(std::string(k == TUpgradeKind::WebPages ? "htmls " : "firmware ") + base);
      return result;
    };
    return io;
  }
};

TEST(UpgradeFlow, FileChecksPerFamilyAndKind) {
  const std::string pk2 = FileRecordPackage("fw.bin", "abc");
  struct Case {
    int family;
    TUpgradeKind kind;
    std::string content;
    TUpgradeStatus want;
  } cases[] = {
      {2, TUpgradeKind::Firmware, "BNEG...", TUpgradeStatus::Success},
      {2, TUpgradeKind::WebPages, "BNEG...", TUpgradeStatus::FileRefused},
      {2, TUpgradeKind::WebPages, "\xBD\x9A\x0C\x44rest", TUpgradeStatus::Success},
      {2, TUpgradeKind::Firmware, "\xBD\x9A\x0C\x44rest", TUpgradeStatus::FileRefused},
      {2, TUpgradeKind::Firmware, "BNE", TUpgradeStatus::FileRefused},
      {8, TUpgradeKind::Firmware, "abcd", TUpgradeStatus::Success},
      {8, TUpgradeKind::WebPages, "abc", TUpgradeStatus::FileRefused},
      {9, TUpgradeKind::WebPages, "wxyz", TUpgradeStatus::Success},
      {9, TUpgradeKind::Firmware, "", TUpgradeStatus::FileRefused},
      {5, TUpgradeKind::Firmware, pk2, TUpgradeStatus::Success},
      {5, TUpgradeKind::WebPages, pk2, TUpgradeStatus::Success},
      {5, TUpgradeKind::Firmware, "PK2\x01" + pk2.substr(4), TUpgradeStatus::FileRefused},
      {5, TUpgradeKind::Firmware, pk2.substr(0, pk2.size() - 1), TUpgradeStatus::FileRefused},  // truncated
  };
  for (const auto& c : cases) {
    FakeIo io;
    io.content = c.content;
    TUpgradeTarget t{c.family, "192.168.1.20", 80, "admin", "pw"};
    const TUpgradeOutcome o = RunUpgrade(t, c.kind, "/tmp/f", io.Io());
    EXPECT_EQ(o.Status, c.want) << c.family << " " << c.content.size();
    if (c.want == TUpgradeStatus::FileRefused) {
      EXPECT_EQ(o.MessageKey, "IDS_ERRFILE");
      EXPECT_TRUE(io.calls.empty()) << "nothing is sent for a refused file";
    }
  }
}

TEST(UpgradeFlow, EachFamilyUploadsItsOwnWay) {
  struct Case {
    int family;
    int port;
    TUpgradeKind kind;
    std::string call;
  } cases[] = {
      {2, 80, TUpgradeKind::Firmware, "post http://192.168.1.20/upgrade_firmware.cgi?user=admin&pwd=pw&next_url=reboot.htm"},
      {2, 81, TUpgradeKind::WebPages, "post http://192.168.1.20:81/upgrade_htmls.cgi?user=admin&pwd=pw&next_url=reboot.htm"},
      {8, 80, TUpgradeKind::Firmware, "post http://192.168.1.20/cgi-bin/upgrade_firmware.cgi?next_url=reboot.htm"},
      {8, 8080, TUpgradeKind::WebPages, "post http://192.168.1.20:8080/cgi-bin/upgrade_htmls.cgi?next_url=reboot.htm"},
      {9, 81, TUpgradeKind::Firmware, "firmware http://192.168.1.20:81"},
      {9, 80, TUpgradeKind::WebPages, "htmls http://192.168.1.20"},
      {5, 80, TUpgradeKind::Firmware, "package /tmp/f"},
  };
  for (const auto& c : cases) {
    FakeIo io;
    io.content = c.family == 5 ? FileRecordPackage("a", "b") : c.family == 2 ? (c.kind == TUpgradeKind::WebPages ? "\xBD\x9A\x0C\x44" : "BNEG") : "data";
    TUpgradeTarget t{c.family, "192.168.1.20", c.port, "admin", "pw"};
    EXPECT_EQ(RunUpgrade(t, c.kind, "/tmp/f", io.Io()).Status, TUpgradeStatus::Success);
    ASSERT_EQ(io.calls.size(), 1u);
    EXPECT_EQ(io.calls[0], c.call);
    if (c.family == 2) {
      EXPECT_EQ(io.lastForm.PartType, "application/octet-stream");
      EXPECT_TRUE(io.lastForm.User.empty()) << "no Basic credentials";
    }
    if (c.family == 8) {
      EXPECT_EQ(io.lastForm.PartType, "application/x-zip-compressed");
      EXPECT_EQ(io.lastForm.User, "admin");
      EXPECT_EQ(io.lastForm.Password, "pw");
      EXPECT_TRUE(io.lastForm.Http11);
    }
    EXPECT_EQ(io.lastForm.TimeoutMs, 60000);
  }
}

TEST(UpgradeFlow, FailuresCarryTheirDetailAndNothingGoesToABadAddress) {
  FakeIo io;
  io.content = "abcd";
  io.result = TTransferResult{false, false, "", "HTTP 500"};
  TUpgradeOutcome o = RunUpgrade({8, "192.168.1.20", 80, "admin", ""}, TUpgradeKind::Firmware, "/f", io.Io());
  EXPECT_EQ(o.Status, TUpgradeStatus::Failed);
  EXPECT_EQ(o.MessageKey, "IDS_UPGRADEFAIL");
  EXPECT_EQ(o.Detail, "HTTP 500");

  io.result = TTransferResult{false, true, "IDS_UPGRADECANCELLED", ""};
  EXPECT_EQ(RunUpgrade({8, "192.168.1.20", 80, "admin", ""}, TUpgradeKind::Firmware, "/f", io.Io()).Status,
            TUpgradeStatus::Cancelled);

  // An account with '&', '#' or a blank stays one query value each.
  io.calls.clear();
  io.content = "BNEG";
  io.result = TTransferResult{true, false, "", ""};
  RunUpgrade({2, "192.168.1.20", 80, "ad min", "p&w#1"}, TUpgradeKind::Firmware, "/f", io.Io());
  ASSERT_EQ(io.calls.size(), 1u);
  EXPECT_EQ(io.calls[0], "post http://192.168.1.20/upgrade_firmware.cgi?user=ad%20min&pwd=p%26w%231&next_url=reboot.htm");

  io.calls.clear();
  io.content = "abcd";
  o = RunUpgrade({8, "x@192.168.1.20", 80, "admin", ""}, TUpgradeKind::Firmware, "/f", io.Io());
  EXPECT_EQ(o.Status, TUpgradeStatus::Failed);
  EXPECT_TRUE(io.calls.empty());

  FakeIo missing;
  missing.exists = false;
  EXPECT_EQ(RunUpgrade({5, "192.168.1.20", 80, "admin", ""}, TUpgradeKind::Firmware, "/f", missing.Io()).Status,
            TUpgradeStatus::NoFile);
  FakeIo unreadable;
  unreadable.readable = false;
  EXPECT_EQ(RunUpgrade({8, "192.168.1.20", 80, "admin", ""}, TUpgradeKind::Firmware, "/f", unreadable.Io()).Status,
            TUpgradeStatus::FileRefused);
}

}  // namespace
}  // namespace kestrova::upgrade
