// Subcommands of kestrova-cli. Each takes the arguments after its own name (argv[0] is the
// subcommand) and returns the process exit code.
#pragma once

namespace kestrova {

int CmdDiscover(int argc, char** argv);
int CmdSetIp(int argc, char** argv);
int CmdWifiScan(int argc, char** argv);
int CmdWifiSet(int argc, char** argv);
int CmdSetup(int argc, char** argv);
int CmdRouters(int argc, char** argv);
int CmdPortMap(int argc, char** argv);
int CmdRouterUpdate(int argc, char** argv);
int CmdDdnsCheck(int argc, char** argv);
int CmdDdnsSet(int argc, char** argv);
int CmdForwardCheck(int argc, char** argv);
int CmdUpgrade(int argc, char** argv);

}  // namespace kestrova
