#pragma once
// A push button whose caption wraps over as many lines as it needs, centred.

#include <QPushButton>

namespace vendrel::demo {

class WrappingButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vendrel::demo
