// The main window: title strip, content panel hosting one page at a time, link bar and bottom
// strip. It is the only window the program entry creates; its constructor runs the start-up.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include <QStringList>
#include <QWidget>

class QLabel;

namespace kestrova {

class TfrmPageBase;
class TImage;
class TClickLabel;
class TPanel;
class TStrRes;
class TSingleInstance;

// Size of the content panel every page is sized to.
inline constexpr int kContentWidth = 652;
inline constexpr int kContentHeight = 402;

class TfrmMain : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // False when another instance runs: the window is not to be shown and the program ends.
  bool Started() const { return started_; }

  // Shows the page of that class ("TfrmSel_Mode", "TfrmAdv_Main", "TfrmEsy_SetIP" ...,
  // compared case-insensitively), creating it on first use. Returns the page, or nullptr for
  // a name that is not a page class.
  TfrmPageBase* ShowPage(const QString& className);
  // The first child of the content panel that is shown, or nullptr.
  TfrmPageBase* CurrentPage() const;
  // The page of that class when it was created already.
  TfrmPageBase* FindPage(const QString& className) const;
  // Re-applies the current language to this window and every page created so far.
  void ReapplyLanguage();

  // Full paths of the usable language files (built at start).
  const QStringList& LanguageFiles() const { return languageFiles_; }

  // The link bar (also driven by the tests).
  void lblInsInfoClick();
  void lblAdvClick();
  void lblAboutClick();
  void lblCloseClick();
  int lblAdvTag() const { return lblAdvTag_; }

  QWidget* ContentPanel() const;

 signals:
  // Another start asked this instance to come to the front, and it did.
  void activated();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void BuildLayout();
  void FormCreate();
  void BringToFront();

  bool started_ = false;
  bool centred_ = false;
  int lblAdvTag_ = 1;
  QStringList languageFiles_;
  std::unique_ptr<TSingleInstance> instance_;
  std::unique_ptr<TStrRes> strRes_;
  std::map<QString, TfrmPageBase*> pages_;  // by lower-case class name

  TPanel* Panel2_ = nullptr;
  TPanel* plContent_ = nullptr;
  TPanel* Panel4_ = nullptr;
  TPanel* Panel3_ = nullptr;
  QLabel* lblCaption_ = nullptr;
  TImage* Image1_ = nullptr;
  TClickLabel* lblInsInfo_ = nullptr;
  TClickLabel* lblAdv_ = nullptr;
  TClickLabel* lblAbout_ = nullptr;
  TClickLabel* lblClose_ = nullptr;
};

}  // namespace kestrova
