#include "core/discovery/added_addresses.h"

#include <algorithm>

#include "core/discovery/ip_text.h"

namespace kestrova {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

AddAddressResult AddAddress(std::vector<std::string>& list, std::string_view text) {
  const std::string_view a = Trim(text);
  if (!IsUnicastIPv4Text(a)) return AddAddressResult::Invalid;
  if (std::find(list.begin(), list.end(), a) != list.end()) return AddAddressResult::Known;
  if (list.size() >= kMaxAddedAddresses) return AddAddressResult::Full;
  list.emplace_back(a);
  return AddAddressResult::Added;
}

std::vector<std::string> ParseAddressList(std::string_view text) {
  std::vector<std::string> out;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    AddAddress(out, text.substr(0, comma));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out;
}

std::string FormatAddressList(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& a : list) {
    if (!out.empty()) out += ',';
    out += a;
  }
  return out;
}

}  // namespace kestrova
