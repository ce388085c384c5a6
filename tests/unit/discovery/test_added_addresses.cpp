#include <gtest/gtest.h>

#include "core/discovery/added_addresses.h"

namespace kestrova {
namespace {

TEST(AddedAddresses, OnlyUnicastDottedAddressesAreAddedAndEachOnce) {
  struct Case {
    const char* text;
    AddAddressResult result;
  };
  const Case cases[] = {
      {"172.16.9.104", AddAddressResult::Added},
      {"  10.0.0.7 ", AddAddressResult::Added},  // blanks around it do not count
      {"172.16.9.104", AddAddressResult::Known},
      {"10.0.0.7", AddAddressResult::Known},
      {"", AddAddressResult::Invalid},
      {"camera.local", AddAddressResult::Invalid},
      {"172.16.9", AddAddressResult::Invalid},
      {"172.16.9.300", AddAddressResult::Invalid},
      {"172.016.9.4", AddAddressResult::Invalid},  // leading zero: octal to other readers
      {"1.2.3.4:80", AddAddressResult::Invalid},
      {"1.2.3.4,5.6.7.8", AddAddressResult::Invalid},  // one address at a time
      {"0.0.0.0", AddAddressResult::Invalid},
      {"255.255.255.255", AddAddressResult::Invalid},
      {"239.1.2.3", AddAddressResult::Invalid},
  };
  std::vector<std::string> list;
  for (const Case& c : cases) EXPECT_EQ(AddAddress(list, c.text), c.result) << c.text;
  EXPECT_EQ(list, (std::vector<std::string>{"172.16.9.104", "10.0.0.7"}));
}

TEST(AddedAddresses, ListIsBoundedAndAFullListStaysAsItWas) {
  std::vector<std::string> list;
  for (std::size_t i = 0; i < kMaxAddedAddresses; ++i)
    ASSERT_EQ(AddAddress(list, "10.1.0." + std::to_string(i + 1)), AddAddressResult::Added);
  EXPECT_EQ(AddAddress(list, "10.2.0.1"), AddAddressResult::Full);
  EXPECT_EQ(AddAddress(list, "10.1.0.1"), AddAddressResult::Known);
  EXPECT_EQ(list.size(), kMaxAddedAddresses);
}

TEST(AddedAddresses, StoredListKeepsOnlyWhatMayBeAskedAndRoundTrips) {
  const auto list = ParseAddressList(" 172.16.9.104 ,x, 10.0.0.7,,172.16.9.104, 1.2.3.4:80 ,10.0.0.8");
  EXPECT_EQ(list, (std::vector<std::string>{"172.16.9.104", "10.0.0.7", "10.0.0.8"}));
  EXPECT_EQ(FormatAddressList(list), "172.16.9.104,10.0.0.7,10.0.0.8");
  EXPECT_EQ(ParseAddressList(FormatAddressList(list)), list);
  EXPECT_TRUE(ParseAddressList("").empty());
  std::string many;
  for (int i = 1; i <= 40; ++i) many += "10.3.0." + std::to_string(i) + ",";
  EXPECT_EQ(ParseAddressList(many).size(), kMaxAddedAddresses);
}

}  // namespace
}  // namespace kestrova
