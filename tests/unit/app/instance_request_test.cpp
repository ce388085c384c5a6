// The second start's request to the running instance, as received in pieces.
#include <gtest/gtest.h>

#include <string>

#include "core/app/instance_request.h"

using namespace kestrova;

TEST(InstanceRequest, Verdicts) {
  struct Case {
    std::string data;
    bool closed;
    TActivateVerdict verdict;
    std::string title;
  } cases[] = {
      {"activate\nKestrova\n", false, TActivateVerdict::Activate, "Kestrova"},
      {"activate\r\n  Kestrova  \r\n", false, TActivateVerdict::Activate, "Kestrova"},
      {"activate\nKes", false, TActivateVerdict::NeedMore, ""},
      {"activate\nKes", true, TActivateVerdict::Activate, "Kes"},
      {"activate", true, TActivateVerdict::Activate, ""},
      {"", true, TActivateVerdict::Ignore, ""},
      {"shutdown\nKestrova\n", false, TActivateVerdict::Ignore, ""},
      {std::string(kActivateRequestMax, 'a'), false, TActivateVerdict::NeedMore, ""},
      {std::string(kActivateRequestMax + 1, 'a'), false, TActivateVerdict::Refuse, ""},
  };
  for (const Case& c : cases) {
    const TActivateRequest r = ReadActivateRequest(c.data, c.closed);
    EXPECT_EQ(r.Verdict, c.verdict) << c.data.substr(0, 40);
    EXPECT_EQ(r.Title, c.title) << c.data.substr(0, 40);
  }
}

TEST(InstanceRequest, CaptionWithALineBreakStaysOneRequest) {
  const std::string sent = ActivateRequestText("Kestrova\nsecond");
  EXPECT_EQ(sent, "activate\nKestrova second\n");
  EXPECT_EQ(ReadActivateRequest(sent, false).Title, "Kestrova second");
}
