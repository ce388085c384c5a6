// How the windows show a camera's name: valid UTF-8 as it is; the name of a family that may
// use a legacy code page (5 and 9), when it is not UTF-8, decoded with the code page of the
// current language through Qt's codecs. The record keeps the bytes as received.
#pragma once

#include <QString>

#include <string>

#include "core/discovery/dev_info.h"

namespace kestrova {

QString CameraName(const TDevInfo& dev);
// Bytes decoded with the named legacy code page ("GBK", "Big5" ...); as lossy UTF-8 when the
// platform has no such codec.
QString DecodeLegacyText(const std::string& bytes, const std::string& codePage);

}  // namespace kestrova
