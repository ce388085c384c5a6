// What the remote-access commands of kestrova-cli share (ddns-check, ddns-set, forward-check):
// their options, the camera found by its MAC, its account, the check texts in the chosen
// language and the result box printed as the wizard's page shows it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "core/discovery/dev_info.h"
#include "core/remote/check_report.h"

namespace kestrova::cli {

struct RemoteOptions {
  CameraOptions camera;           // --mac, --user, --password, --seconds (and the test options)
  std::string lang = "en";        // --lang CODE
  std::vector<std::string> values;  // the command's own options, in the order of its names
  std::vector<bool> have;
};

// Reads argv[1..] (argv[0] is the command): the camera options without --json, --lang CODE
// (en, cn, b5, pl, kr) and the command's own value options (names). nullopt when the command
// may go on; otherwise the exit status (0 after --help, 2 after an error).
std::optional<int> ParseRemoteOptions(const char* command, int argc, char** argv, void (*usage)(FILE*),
                                      const std::vector<std::string>& names, RemoteOptions& out);

// The camera whose MAC text is the option's, from a discovery run of --seconds; nullopt (and
// a line on stderr) when none answered.
std::optional<TDevInfo> FindRemoteCamera(const char* command, const RemoteOptions& opt);

// The camera account: the options, else what the wizard's selection stores for the camera
// (admin; the factory password of a family-5 camera, else an empty one), for a T camera the
// account its search answer reports.
void CameraAccount(const RemoteOptions& opt, const TDevInfo& dev, std::string& user, std::string& password);

// The texts the checks show, in the option's language.
remote::TCheckTexts RemoteCheckTexts(const RemoteOptions& opt);

// Prints the box's lines, one per line, as they stand (tabs and indents kept).
void PrintResultBox(const remote::TResultBox& box);

}  // namespace kestrova::cli
