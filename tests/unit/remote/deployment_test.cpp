#include "core/config/deployment.h"

#include <gtest/gtest.h>

#include "core/remote/outer_check.h"
#include "core/remote/vendor_service.h"

namespace kestrova::deployment {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Deployment, ValuesFitTheirUses) {
  // The default suffix is used like one cut from a server name: it starts with the dot.
  ASSERT_FALSE(kDefaultDdnsDomainSuffix.empty());
  EXPECT_EQ(kDefaultDdnsDomainSuffix[0], '.');
  EXPECT_EQ(remote::OuterCheckHost("http://kv0001" + std::string(kDefaultDdnsDomainSuffix)), "user.ddns.kestrova.test");
  EXPECT_EQ(remote::ServiceHost(kDdnsServiceHost), std::string(kDdnsServiceHost));
  EXPECT_EQ(kDdnsServicePort, 808);
  EXPECT_EQ(kDdnsServiceTimeoutMs, 20000);
  // Every name lies under the reserved test domain.
  for (std::string name : {std::string(kDefaultDdnsDomainSuffix), std::string(kDdnsServiceHost), std::string(kDownloadSite),
                           std::string(kShippedOnlineCD), std::string(kShippedAbout)}) {
    EXPECT_NE(name.find(".test"), std::string::npos) << name;
  }
  EXPECT_TRUE(EndsWith(DefaultRouterUrlNoConfig(), "/router/router.txt"));
  EXPECT_TRUE(EndsWith(DefaultRouterUrlWithConfig(), "/router/Router.txt"));
  EXPECT_TRUE(EndsWith(DefaultDownDllUrl(), "/router/"));
  EXPECT_NE(std::string(kShippedOnlineCD).find("_cn."), std::string::npos);
}

TEST(Deployment, ShippedConfigIni) {
  EXPECT_EQ(ShippedConfigIni(),
            "[LINK]\r\nOnlineCD=http://www.kestrova.test/cd/index_cn.htm\r\nAbout=http://www.kestrova.test/about.htm\r\n"
            "\r\n[Setup]\r\nRouterUrl=http://download.kestrova.test:808/router/Router.txt\r\n"
            "DownDllURL=http://download.kestrova.test:808/router/\r\n");
}

}  // namespace
}  // namespace kestrova::deployment
