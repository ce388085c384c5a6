// The advanced window: the device list and every network parameter of the selected camera.
// Created at start in both modes; it owns the discovery engine for the whole run.
#pragma once

#include "ui/app/page_base.h"

namespace kestrova {

class TfrmAdv_Main : public TfrmPageBase {
  Q_OBJECT
 public:
  explicit TfrmAdv_Main(QWidget* parent = nullptr);
  ~TfrmAdv_Main() override;
};

}  // namespace kestrova
