// The simulated gateway's answers on their own: NAT-PMP bytes as the protocol lays them out, the
// SSDP answer, and the UPnP error code of each control request the table refuses.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <optional>
#include <string>

#include "igd.h"

namespace kestrova::sim::igd {
namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}

TEST(IgdDevice, NatPmpAnswersAreLaidOutByteForByte) {
  const uint32_t wan = htonl(0xCB007101);  // 203.0.113.1
  struct Case {
    const char* what;
    std::string request;
    std::optional<std::string> answer;
  } cases[] = {
      {"public address", Bytes({0, 0}), Bytes({0, 128, 0, 0, 0, 0, 0, 7, 203, 0, 113, 1})},
      {"TCP mapping refused", Bytes({0, 2, 0, 0, 0x02, 0x2A, 0x02, 0x2B, 0, 0, 0x0E, 0x10}),
       Bytes({0, 130, 0, 2, 0, 0, 0, 7, 0x02, 0x2A, 0x02, 0x2B, 0, 0, 0, 0})},
      {"UDP mapping refused", Bytes({0, 1, 0, 0, 0, 53, 0, 53, 0, 0, 0, 60}),
       Bytes({0, 129, 0, 2, 0, 0, 0, 7, 0, 53, 0, 53, 0, 0, 0, 0})},
      {"unsupported version", Bytes({1, 0}), Bytes({0, 128, 0, 1, 0, 0, 0, 7})},
      {"unknown opcode", Bytes({0, 9}), Bytes({0, 137, 0, 5, 0, 0, 0, 7})},
      {"mapping request cut short", Bytes({0, 2, 0, 0, 0x02}), std::nullopt},
      {"one byte", Bytes({0}), std::nullopt},
      {"an answer", Bytes({0, 128, 0, 0}), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(NatPmpAnswer(c.request, wan, 7), c.answer) << c.what;
}

TEST(IgdDevice, SsdpAnswersASearchForTheGatewayOnly) {
  const std::string loc = "http://192.168.0.1:5000/rootDesc.xml";
  auto search = [](const std::string& st, const std::string& man = "\"ssdp:discover\"") {
    return "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: " + man + "\r\nMX: 2\r\nST: " + st + "\r\n\r\n";
  };
  EXPECT_EQ(SsdpAnswer(search("urn:schemas-upnp-org:device:InternetGatewayDevice:1"), loc, "u1"),
            "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
            "USN: uuid:u1::urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\nEXT:\r\n"
            "SERVER: Linux UPnP/1.0 kestrova-igdsim/1.0\r\nLOCATION: http://192.168.0.1:5000/rootDesc.xml\r\n\r\n");
  EXPECT_TRUE(SsdpAnswer(search("urn:schemas-upnp-org:service:WANIPConnection:1"), loc, "u1"));
  EXPECT_TRUE(SsdpAnswer(search("uuid:u1"), loc, "u1"));
  EXPECT_FALSE(SsdpAnswer(search("urn:schemas-upnp-org:device:MediaServer:1"), loc, "u1"));
  EXPECT_FALSE(SsdpAnswer(search("upnp:rootdevice", "ssdp:discover"), loc, "u1")) << "MAN must be quoted";
  EXPECT_FALSE(SsdpAnswer("NOTIFY * HTTP/1.1\r\nST: upnp:rootdevice\r\n\r\n", loc, "u1"));
}

std::string Envelope(const std::string& action, const std::string& args,
                     const std::string& ns = std::string(kServiceType)) {
  return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><u:" +
         action + " xmlns:u=\"" + ns + "\">" + args + "</u:" + action + "></s:Body></s:Envelope>";
}
std::string Header(const std::string& action) { return "\"" + std::string(kServiceType) + "#" + action + "\""; }
std::string AddArgs(const std::string& ext, const std::string& client, const std::string& lease = "0",
                    const std::string& remote = "") {
  return "<NewRemoteHost>" + remote + "</NewRemoteHost><NewExternalPort>" + ext +
         "</NewExternalPort><NewProtocol>TCP</NewProtocol><NewInternalPort>81</NewInternalPort><NewInternalClient>" +
         client + "</NewInternalClient><NewEnabled>1</NewEnabled><NewPortMappingDescription>d</NewPortMappingDescription>"
         "<NewLeaseDuration>" + lease + "</NewLeaseDuration>";
}
std::string Key(const std::string& ext, const std::string& proto = "TCP") {
  return "<NewRemoteHost></NewRemoteHost><NewExternalPort>" + ext + "</NewExternalPort><NewProtocol>" + proto +
         "</NewProtocol>";
}

TEST(IgdDevice, ControlRequestsGetTheirUpnpErrorCodes) {
  struct Case {
    const char* what;
    std::string header, body;
    int code;  // 0: done
  } cases[] = {
      {"index past the end", Header("GetGenericPortMappingEntry"),
       Envelope("GetGenericPortMappingEntry", "<NewPortMappingIndex>1</NewPortMappingIndex>"), 713},
      {"index not a number", Header("GetGenericPortMappingEntry"),
       Envelope("GetGenericPortMappingEntry", "<NewPortMappingIndex>-1</NewPortMappingIndex>"), 402},
      {"no such entry", Header("GetSpecificPortMappingEntry"), Envelope("GetSpecificPortMappingEntry", Key("82")), 714},
      {"delete what is not there", Header("DeletePortMapping"), Envelope("DeletePortMapping", Key("81", "UDP")), 714},
      {"another device's port", Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("81", "192.168.0.102")),
       718},
      {"the same device again", Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("81", "192.168.0.50")), 0},
      {"wildcard external port", Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("0", "192.168.0.102")),
       716},
      {"a lease", Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("90", "192.168.0.102", "3600")), 725},
      {"a remote host", Header("AddPortMapping"),
       Envelope("AddPortMapping", AddArgs("90", "192.168.0.102", "0", "198.51.100.7")), 726},
      {"a bad client", Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("90", "192.168.0")), 402},
      {"an argument missing", Header("AddPortMapping"), Envelope("AddPortMapping", Key("90")), 402},
      {"an argument twice", Header("DeletePortMapping"), Envelope("DeletePortMapping", Key("81") + Key("81")), 402},
      {"header names another action", Header("DeletePortMapping"), Envelope("GetExternalIPAddress", ""), 401},
      {"another service", Header("GetExternalIPAddress"),
       Envelope("GetExternalIPAddress", "", "urn:schemas-upnp-org:service:WANPPPConnection:1"), 401},
      {"unknown action", Header("ForceTermination"), Envelope("ForceTermination", ""), 401},
      {"not an envelope", Header("GetExternalIPAddress"), "<GetExternalIPAddress/>", 402},
      {"too long", Header("GetExternalIPAddress"), Envelope("GetExternalIPAddress", std::string(kMaxSoapBody, ' ')),
       402},
      {"public address", Header("GetExternalIPAddress"), Envelope("GetExternalIPAddress", ""), 0},
  };
  for (const Case& c : cases) {
    Device d("203.0.113.1", 2);
    d.Add({81, "TCP", 81, "192.168.0.50", true, "web"});
    const Reply r = d.Control(c.header, c.body);
    if (c.code == 0) {
      EXPECT_EQ(r.http, 200) << c.what << "\n" << r.body;
    } else {
      EXPECT_EQ(r.http, 500) << c.what;
      EXPECT_NE(r.body.find("<errorCode>" + std::to_string(c.code) + "</errorCode>"), std::string::npos)
          << c.what << "\n" << r.body;
    }
    EXPECT_EQ(d.Table().size(), 1u) << c.what;
  }
}

TEST(IgdDevice, TheTableIsListedAddedToDeletedFromAndBounded) {
  Device d("203.0.113.1", 2);
  EXPECT_EQ(d.Control(Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("554", "192.168.0.102"))).http, 200);
  EXPECT_EQ(d.Control(Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("555", "192.168.0.102"))).http, 200);
  const Reply full = d.Control(Header("AddPortMapping"), Envelope("AddPortMapping", AddArgs("556", "192.168.0.102")));
  EXPECT_NE(full.body.find("<errorCode>501</errorCode>"), std::string::npos) << "more than the table holds";
  const Reply e = d.Control(Header("GetGenericPortMappingEntry"),
                            Envelope("GetGenericPortMappingEntry", "<NewPortMappingIndex>1</NewPortMappingIndex>"));
  EXPECT_NE(e.body.find("<NewRemoteHost></NewRemoteHost><NewExternalPort>555</NewExternalPort><NewProtocol>TCP</NewProtocol>"
                        "<NewInternalPort>81</NewInternalPort><NewInternalClient>192.168.0.102</NewInternalClient>"
                        "<NewEnabled>1</NewEnabled><NewPortMappingDescription>d</NewPortMappingDescription>"
                        "<NewLeaseDuration>0</NewLeaseDuration>"),
            std::string::npos)
      << e.body;
  EXPECT_TRUE(d.Control(Header("DeletePortMapping"), Envelope("DeletePortMapping", Key("554"))).changed);
  ASSERT_EQ(d.Table().size(), 1u);
  EXPECT_EQ(d.Table()[0].ext, 555);
}

}  // namespace
}  // namespace kestrova::sim::igd
