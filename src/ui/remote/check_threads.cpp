#include "ui/remote/check_threads.h"

#include <QGuiApplication>

#include "core/i18n/lang.h"
#include "net/remote/check_io.h"

namespace kestrova {

namespace {

TRemoteCheckIo& Injected() {
  static TRemoteCheckIo io;
  return io;
}

remote::TCheckTexts LanguageTexts() {
  return remote::LoadCheckTexts([](const std::string& key) { return LoadStr(key); });
}

}  // namespace

void SetRemoteCheckIo(TRemoteCheckIo io) { Injected() = std::move(io); }

bool RemoteChecksAllowed() {
  const QByteArray mode = qgetenv("KESTROVA_DISCOVERY");
  if (mode == "live") return true;
  if (mode == "off") return false;
  return QGuiApplication::platformName() != QLatin1String("offscreen");
}

remote::HttpGetFn CameraWriteGet() {
  if (Injected().CameraWrite) return Injected().CameraWrite;
  if (RemoteChecksAllowed()) return CheckHttpGet;
  return [](const std::string&, int) { return std::optional<std::string>(); };
}

TReportThread::TReportThread(remote::TCheckTexts texts) : texts_(std::move(texts)) {
  // This object lives on the window thread: the worker waits there until the hook has run.
  connect(this, &TReportThread::reported, this, &TReportThread::Deliver, Qt::BlockingQueuedConnection);
  connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TReportThread::~TReportThread() { wait(); }

void TReportThread::Report(int code, const std::string& text) {
  code_ = code;
  text_ = text;
  emit reported();
}

void TReportThread::Deliver() {
  if (onReport_) onReport_(code_, text_);
}

TCheckDDNSThread::TCheckDDNSThread(const TDevInfo& record, const std::string& base, const std::string& cameraUser,
                                   const std::string& cameraPassword)
    : TReportThread(LanguageTexts()), in_(remote::DdnsCheckInputOf(record, cameraUser, cameraPassword)) {
  in_.Base = base;
  const TRemoteCheckIo& injected = Injected();
  if (injected.Ddns) {
    io_ = injected.Ddns(record, cameraUser, cameraPassword);
  } else if (RemoteChecksAllowed()) {
    io_ = DdnsCheckIo(record, cameraUser, cameraPassword);
  } else {
    // Nothing is sent: every read fails as a request that got no answer.
    io_.Get = [](const std::string&, int) { return std::optional<std::string>(); };
    io_.FactoryStatus = [] { return int32_t{6}; };
    io_.OrayState = [] { return std::optional<int32_t>(); };
  }
}

void TCheckDDNSThread::run() {
  remote::RunDdnsCheck(in_, io_, Texts(), [this](int code, const std::string& text) { Report(code, text); });
}

TCheckFortwordThread::TCheckFortwordThread(const std::string& ddnsServer, const std::string& ddnsId)
    : TReportThread(LanguageTexts()), server_(ddnsServer), id_(ddnsId) {
  const TRemoteCheckIo& injected = Injected();
  const bool allowed = RemoteChecksAllowed();
  get_ = injected.ForwardGet ? injected.ForwardGet
         : allowed           ? remote::HttpGetFn(CheckHttpGet)
                             : remote::HttpGetFn([](const std::string&, int) { return std::optional<std::string>(); });
  pause_ = injected.Pause ? injected.Pause : ScaledPause();
}

void TCheckFortwordThread::run() {
  remote::RunPortForwardCheck(server_, id_, get_, pause_, Texts(),
                              [this](int code, const std::string& text) { Report(code, text); });
}

}  // namespace kestrova
