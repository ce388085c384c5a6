#include "ui/dialogs/auth_input.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

#include <charconv>

#include "core/discovery/dev_info.h"
#include "core/discovery/ip_text.h"
#include "core/i18n/lang.h"
#include "core/protocols/cgi_requests.h"
#include "core/protocols/setnet_packets.h"
#include "core/text/utf8.h"
#include "net/cgi/device_series.h"
#include "net/ctp/ctp_socket.h"
#include "net/http/tools.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/i18n/apply_strings.h"

namespace kestrova {
namespace {

constexpr int kCgiTimeoutMs = 5000;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Entries whose UTF-8 form takes at most max bytes: a keystroke or a paste that would make
// the text longer is not taken, so no character is ever cut.
class TUtf8ByteLimit : public QValidator {
 public:
  TUtf8ByteLimit(std::size_t max, QObject* parent) : QValidator(parent), max_(max) {}
  State validate(QString& input, int&) const override {
    return std::size_t(input.toUtf8().size()) <= max_ ? Acceptable : Invalid;
  }

 private:
  std::size_t max_;
};

}  // namespace

bool CtpTargetOfBase(const std::string& base, std::string& host, int& port) {
  const std::string prefix = "http://";
  if (base.size() <= prefix.size()) return false;
  std::string rest = base.substr(prefix.size());
  size_t colon = rest.find(':');
  if (colon == std::string::npos) return false;
  std::string portText = rest.substr(colon + 1);
  int value = 0;
  auto [p, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), value);
  if (portText.empty() || ec != std::errc() || p != portText.data() + portText.size() || value < 0 || value > 65535) {
    return false;
  }
  host = rest.substr(0, colon);
  port = value;
  return true;
}

TfrmAuthInput::TfrmAuthInput(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmAuthInput"));
  setWindowTitle(QStringLiteral("Validate Authentication"));
  setModal(true);
  setFixedSize(360, 200);

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(16, 12, 16, 12);
  Label3 = new QLabel(QStringLiteral("Please input the camera's account and password."), this);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setWordWrap(true);
  v->addWidget(Label3);

  auto* grid = new QGridLayout;
  Label1 = new QLabel(QStringLiteral("Account:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  edUser = new QLineEdit(this);
  edUser->setObjectName(QStringLiteral("edUser"));
  edUser->setMaxLength(13);
  Label2 = new QLabel(QStringLiteral("Password:"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  edPwd = new QLineEdit(this);
  edPwd->setObjectName(QStringLiteral("edPwd"));
  edPwd->setMaxLength(13);
  edPwd->setEchoMode(QLineEdit::Password);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(edUser, 0, 1);
  grid->addWidget(Label2, 1, 0);
  grid->addWidget(edPwd, 1, 1);
  v->addLayout(grid);

  lblTip = new QLabel(QStringLiteral("Default username is \"admin\", password is blank."), this);
  lblTip->setObjectName(QStringLiteral("lblTip"));
  lblTip->setWordWrap(true);
  v->addWidget(lblTip);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  v->addLayout(buttons);
  connect(btnOK, &QPushButton::clicked, this, &TfrmAuthInput::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmAuthInput::btnCancelClick);

  ApplyStrings(this);
}

TfrmAuthInput::~TfrmAuthInput() = default;

void TfrmAuthInput::SetFamily(int family) {
  family_ = family;
  if (family == 5) lblTip->setText(LangText(LoadStr("IDS_DEFAULTACCOUNT")));
  if (family == 2 && !accountBytes_) accountBytes_ = new TUtf8ByteLimit(kMOIAccountBytes, this);
  for (QLineEdit* e : {edUser, edPwd}) {
    e->setValidator(family == 2 ? accountBytes_ : nullptr);
    if (family != 2) continue;
    // Text put in before: whole characters up to the limit.
    const QByteArray utf8 = e->text().toUtf8();
    if (std::size_t(utf8.size()) > kMOIAccountBytes)
      e->setText(QString::fromStdString(std::string(Utf8Prefix(std::string_view(utf8.constData(), utf8.size()), kMOIAccountBytes))));
  }
}

int TfrmAuthInput::TestCredentials(const std::string& rawUser, const std::string& rawPassword) {
  if (!testEnabled_) return 0;
  const std::string user = Trim(rawUser), password = Trim(rawPassword);
  switch (family_) {
    case 2:
    case 8: {
      if (!ParseCameraBaseUrl(base_)) return -2;  // names no camera address: nothing is sent
      std::string reply;
      bool ok = TTools::HttpGet(base_ + PathGetParams(user, password), user, password,
                                kCgiTimeoutMs, reply);
      // A camera refuses a login with a text holding "Auth Failed", which may itself be a
      // "var" statement: such a reply is a refusal, not an accepted account.
      const bool accepted = ok && reply.find("var") != std::string::npos &&
                            reply.find("Auth Failed") == std::string::npos;
      return accepted ? 0 : -2;
    }
    case 5: {
      std::string host;
      int port = 0;
      if (!CtpTargetOfBase(base_, host, port)) return -2;
      if (!IsUnicastIPv4Text(host)) return -1;  // no connection is made to anything else
      CtpConnection conn = AcquireConnection(host, port);
      if (!conn) return -1;
      return Login(*conn, user, password) ? 0 : -2;
    }
    case 9:
      return DeviceSeries().CheckAuth(base_, user, password) ? 0 : -2;
    default:
      return -2;  // no test exists for the family
  }
}

int TfrmAuthInput::ExecIfNeeded() {
  if (TestCredentials(edUser->text().toStdString(), edPwd->text().toStdString()) == 0) return QDialog::Accepted;
  CenterOnMainWindow(this);
  return exec();
}

void TfrmAuthInput::btnOKClick() {
  int r = TestCredentials(edUser->text().toStdString(), edPwd->text().toStdString());
  if (r == -1 || r == -2) {
    LangMessageBox("IDS_ERRACCESS", "IDS_ERROR", MB_ICONSTOP);
    return;
  }
  accept();
}

void TfrmAuthInput::btnCancelClick() { reject(); }

}  // namespace kestrova
