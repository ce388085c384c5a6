#include <gtest/gtest.h>

#include "core/protocols/base64.h"
#include "core/protocols/url_value.h"

namespace kestrova {
namespace {

TEST(Base64, Rfc4648Vectors) {
  struct Case {
    std::string in, out;
  } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
               {"admin:12345", "YWRtaW46MTIzNDU="}, {std::string("\xff\x00\x10", 3), "/wAQ"}};
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeBase64(c.in), c.out);
    EXPECT_EQ(EncodeBase64NoBreaks(c.in), c.out);
  }
}

TEST(Base64, LinesOf76) {
  std::string y19;
  for (int i = 0; i < 19; ++i) y19 += "YWFh";  // "aaa" nineteen times: 76 characters
  EXPECT_EQ(EncodeBase64(std::string(57, 'a')), y19);  // exactly one line, no break
  EXPECT_EQ(EncodeBase64(std::string(58, 'a')), y19 + "\r\nYQ==");
  EXPECT_EQ(EncodeBase64(std::string(114, 'a')), y19 + "\r\n" + y19);
  EXPECT_EQ(EncodeBase64(std::string(115, 'a')), y19 + "\r\n" + y19 + "\r\nYQ==");
  // the header form never breaks
  EXPECT_EQ(EncodeBase64NoBreaks(std::string(58, 'a')), y19 + "YQ==");
  for (size_t n : {1u, 56u, 57u, 58u, 200u}) {
    size_t expect = 4 * ((n + 2) / 3) + 2 * ((n - 1) / 57);
    EXPECT_EQ(EncodeBase64(std::string(n, 'x')).size(), expect) << n;
  }
}

TEST(UrlValue, EncodesOnlyWhatBreaksAQuery) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"admin", "admin"},
      {"P@ss!w0rd_-.~*()$,;:/'\"", "P@ss!w0rd_-.~*()$,;:/'\""},  // ordinary credentials unchanged
      {"a b", "a%20b"},
      {"a&b", "a%26b"},
      {"#", "%23"},
      {"%", "%25"},
      {"+", "%2B"},
      {"?", "%3F"},
      {"=", "%3D"},
      {"\xC3\xA9", "%C3%A9"},
      {"\r\n\t", "%0D%0A%09"},
      {"\x7F", "%7F"},
      {std::string("a\0b", 3), "a%00b"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlValue(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kestrova
