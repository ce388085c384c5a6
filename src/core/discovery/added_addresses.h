// Cameras added by address: addresses that every search round also asks by unicast, for a
// camera that no broadcast reaches (another routed subnet, behind a router). The list as the
// user's option file keeps it, and the rule for adding one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// At most this many addresses: each one adds a request per family to every round.
inline constexpr std::size_t kMaxAddedAddresses = 32;

// The stored list: addresses separated by ',' (blanks around them ignored). Texts that are not
// unicast dotted IPv4 (IsUnicastIPv4Text) and repeats are left out, as is everything past
// kMaxAddedAddresses, so a hand-edited file can never put anything else into a round.
std::vector<std::string> ParseAddressList(std::string_view text);
std::string FormatAddressList(const std::vector<std::string>& list);

enum class AddAddressResult { Added, Known, Invalid, Full };
// Adds text (blanks around it ignored) to list when it is a unicast dotted IPv4 address that
// the list does not hold yet and the list has room; list is unchanged otherwise.
AddAddressResult AddAddress(std::vector<std::string>& list, std::string_view text);

}  // namespace kestrova
