// TfrmPortForward: the port-mapping window. The caller sets RouterAddress, adds the camera's
// mappings with AddMapping and shows it modally; OK reads the router's table through the
// chosen router's plug-in, merges the mappings (asking before it replaces another device's
// forwarding), writes the table back and checks the plug-in's answer. The result is Accepted
// only when a table was written and confirmed.
//
// The rules are the core's (core/router); this window holds the widgets and runs the plug-in
// calls and downloads on a worker thread, so that the window keeps painting while a plug-in
// or the download site takes its time. While a job runs the controls are disabled and the
// window cannot be closed; the tables are only read by the worker then and shown again when
// it has ended. A question the job asks (conflict, download) is put to the user on the window
// thread while the worker waits.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "core/router/port_forward.h"
#include "core/router/router_list.h"

class QLabel;
class QLineEdit;
class QThread;

namespace kestrova {

class TTeButton;
class TTeComboBox;
class TTeDBGrid;
class TTeSpeedButton;

class TfrmPortForward : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmPortForward(QWidget* parent = nullptr);
  ~TfrmPortForward() override;

  std::string RouterAddress;

  // Before showing only; a port the router forwards to another device is refused with
  // IDS_INPUT_EXISTS.
  void AddMapping(const std::string& address, const std::string& port, const std::string& protocol);

  void BitBtn1Click();  // OK
  void BitBtn2Click();  // Cancel
  void BitBtn3Click();  // New Version: the plug-in update command

  // A plug-in call or download is running.
  bool Busy() const { return job_ != nullptr; }
  const router::TPortForwardTables& Tables() const { return tables_; }
  const std::vector<router::TRouter>& Routers() const { return routers_; }
  // The message key the last OK run or update command ended with ("" before any).
  const std::string& LastKey() const { return lastKey_; }

  void done(int result) override;

  QLabel* Label1 = nullptr;
  TTeComboBox* cmbRouter = nullptr;
  TTeSpeedButton* BitBtn3 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* edtUser = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* edtPassword = nullptr;
  QLabel* Label4 = nullptr;
  TTeDBGrid* dbgRouter = nullptr;
  QLabel* Label5 = nullptr;
  TTeDBGrid* dbgNeed = nullptr;
  QLabel* lblState = nullptr;
  TTeButton* BitBtn1 = nullptr;
  TTeButton* BitBtn2 = nullptr;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  using Ask = std::function<bool(const std::string& key)>;
  using Job = std::function<std::string(const Ask& ask)>;
  // Runs job on a worker thread; after(key) runs on the window thread once it has ended.
  void RunJob(const std::string& stateKey, Job job, std::function<void(const std::string& key)> after);
  bool AskFromWorker(const std::string& key);
  void SetBusy(bool busy, const std::string& stateKey = {});
  void FillRouters();
  void ShowTables();
  const router::TRouter* SelectedRouter() const;

  router::TPortForwardTables tables_;
  std::vector<router::TRouter> routers_;
  router::TDownloadUrls urls_;
  QThread* job_ = nullptr;
  bool tablesInUse_ = false;  // an OK run's worker reads and writes tables_
  bool closing_ = false;  // the window is going away: questions are answered No
  std::string lastKey_;
};

}  // namespace kestrova
