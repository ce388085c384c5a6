// kestrova-plugin-host: runs one router plug-in call for the program (see net/router/plugin_host.h).
#include "net/router/plugin_host.h"

int main() { return kestrova::PluginHelperMain(); }
