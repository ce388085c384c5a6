// Address texts as devices on the LAN have sent them (or could): the table every parser that
// takes an address from the wire is checked against. Each fits a 16-byte address field.
#pragma once

namespace kestrova::test {

struct AddressText {
  const char* text;
  bool ipv4;  // a dotted-quad IPv4 address
};

inline constexpr AddressText kAddressTexts[] = {
    {"192.168.1.20", true},
    {"10.0.0.1", true},
    {"127.0.0.1", true},
    {"0.0.0.0", true},
    {"255.255.255.255", true},
    {"8.8.4.4", true},
    // A user part sends the request (and its credentials) to the host after the '@'.
    {"x@host/", false},
    {"x@192.168.1.20", false},
    {"a:b@10.0.0.1", false},
    // Names are resolved somewhere else than the LAN.
    {"cam.example.test", false},
    {"localhost", false},
    // Ports, paths and more parts than four.
    {"1.2.3.4:80/x", false},
    {"1.2.3.4:80", false},
    {"1.2.3.4/", false},
    {"1.2.3.4.5", false},
    {"1.2.3", false},
    {"192.168.100.2001", false},  // fills the whole field
    // Trailing junk, blanks, other characters of a URL.
    {"1.2.3.4 junk", false},
    {"1.2.3.4 ", false},
    {" 1.2.3.4", false},
    {"1.2.3.4\t", false},
    {"1.2.3.4#", false},
    {"1.2.3.4?x=1", false},
    // Numbers that are no octet, or that other readers take as octal or hex.
    {"1.2.3.256", false},
    {"-1.2.3.4", false},
    {"+1.2.3.4", false},
    {"192.168.001.020", false},
    {"010.0.0.1", false},
    {"0x7f.0.0.1", false},
    {"1..2.3", false},
    {"::1", false},
    {"[::1]", false},
    {"", false},
};

}  // namespace kestrova::test
