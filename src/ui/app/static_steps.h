// The two static wizard steps: connecting the power supply and the network cable. Each shows
// a wiring picture with captions, the indicator lights, an explanation and a help link.
#pragma once

#include "ui/app/wizard_step_page.h"

class QLabel;
class QTimer;

namespace kestrova {

class TImage;
class TTePanel;
class TClickLabel;

class TStaticStepPage : public TWizardStepPage {
  Q_OBJECT
 public:
  TStaticStepPage(QWidget* parent, const char* className, const char* wiringPicture, const char* lightsPrefix);

  QLabel* Label2 = nullptr;   // heading
  TTePanel* Panel3 = nullptr;  // wiring picture with its captions
  TImage* Image1 = nullptr;
  TTePanel* Panel2 = nullptr;  // indicator lights
  TImage* Image2 = nullptr;
  QLabel* Label1 = nullptr;    // explanation
  TImage* Image3 = nullptr;    // help icon

 protected:
  // A caption placed on the wiring picture.
  QLabel* Caption(const char* name, const char* text, int x, int y, int w);
  // The help link at the bottom ("If not normal, how should I do?").
  TClickLabel* HelpLink(const char* name, const char* text);
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void NextLightsFrame();
  QTimer* lights_ = nullptr;
  QString lightsPrefix_;
  int frame_ = 0;
};

// Power step.
class TfrmLinkSource : public TStaticStepPage {
  Q_OBJECT
 public:
  explicit TfrmLinkSource(QWidget* parent = nullptr);
  void Label4Click();

  QLabel* lblIPcam1 = nullptr;
  QLabel* lblRouter1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* lblPC1 = nullptr;
  TClickLabel* Label4 = nullptr;
};

// Cabling step.
class TfrmEsy_Line : public TStaticStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_Line(QWidget* parent = nullptr);
  void Label3Click();

  QLabel* lblRouter1 = nullptr;
  QLabel* lblIPcam1 = nullptr;
  QLabel* lblPC1 = nullptr;
  TClickLabel* Label3 = nullptr;
};

}  // namespace kestrova
