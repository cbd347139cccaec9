// The banner at the top of both installer pages: a drawn picture (a band of
// paint colours, drops and the program's name), no bitmap resource. Owned by
// its parent widget.

#ifndef INSTALLER_WIZARD_BANNER_H_
#define INSTALLER_WIZARD_BANNER_H_

#include <QWidget>

class CBanner : public QWidget {
 public:
  explicit CBanner(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

#endif  // INSTALLER_WIZARD_BANNER_H_
