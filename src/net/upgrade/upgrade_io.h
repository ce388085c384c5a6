// The I/O of the firmware upgrade for the core's flow: the file reads, the multipart upload of
// families 2 and 8, the package transfer of family 5 and the CGI family driver.
#pragma once

#include <functional>

#include "core/upgrade/upgrade_flow.h"
#include "net/upgrade/pk2_transfer.h"

namespace kestrova {
class IDeviceSeries;
}

namespace kestrova::upgrade {

// Every upload reports here (HTTP uploads: bytes of the request body; the package: its data
// bytes and the record); returning false cancels the upload.
using TUpgradeProgressFn = std::function<bool(const TPk2Progress&)>;

// driver: the CGI family driver for the families without a form of their own (its upload has
// no progress of its own).
TUpgradeIo NetUpgradeIo(IDeviceSeries& driver, TUpgradeProgressFn progress = {});

// The file's first `max` bytes (fewer when it is shorter); nullopt when it cannot be read.
std::optional<std::string> ReadFileHead(const std::string& path, std::size_t max);

}  // namespace kestrova::upgrade
