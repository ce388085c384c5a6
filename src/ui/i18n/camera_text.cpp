#include "ui/i18n/camera_text.h"

#include <QByteArray>
#include <QStringDecoder>

#include "core/i18n/lang.h"

namespace kestrova {

QString DecodeLegacyText(const std::string& bytes, const std::string& codePage) {
  QStringDecoder decoder(codePage.c_str(), QStringDecoder::Flag::Stateless);
  if (!decoder.isValid()) return QString::fromStdString(bytes);
  return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

QString CameraName(const TDevInfo& dev) {
  if (!NameInLegacyCodePage(dev)) return QString::fromStdString(dev.Name);
  return DecodeLegacyText(dev.Name, LegacyCodePage(CurrentLanguage()));
}

}  // namespace kestrova
