// The camera's web interface: CGI requests in, "var name=value;" texts or pages out.
// Pure functions on the camera's live state; the HTTP server shell is in tcp_services.*.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config.h"

namespace kestrova::camsim {

struct CgiUpload {
  std::string field, filename, content_type, content;
};

struct CgiRequest {
  std::string method;  // "GET" or "POST"
  std::string path;    // without the query
  std::multimap<std::string, std::string> params;  // decoded query (and form) values
  std::optional<std::pair<std::string, std::string>> basic;  // Basic authorization, decoded
  std::vector<CgiUpload> files;
  bool basic_malformed = false;  // an Authorization header that is not valid Basic
};

struct CgiAnswer {
  int status = 200;
  std::string content_type = "text/plain";
  std::string body;
  bool ask_basic = false;   // add WWW-Authenticate (a login challenge)
  bool reboot = false;      // the camera restarts after answering
  bool hang = false;        // never answer
  bool factory_reset = false;  // back to the configuration file's values (then restart)
  std::string note;         // what happened, for the log
  std::vector<std::pair<std::string, std::string>> keep;  // uploads to keep: (kind, content)
};

CgiAnswer HandleCgi(CameraConfig& cam, const CgiRequest& req);

// Decodes the value of an "Authorization: Basic ..." header; nothing when it is not one.
std::optional<std::pair<std::string, std::string>> DecodeBasic(const std::string& header);

}  // namespace kestrova::camsim
