// MD5 of a byte string, from the system's crypto library.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrova {

std::array<uint8_t, 16> Md5(std::string_view data);

}  // namespace kestrova
