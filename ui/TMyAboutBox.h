#pragma once
// The about box: the program's name, version and copyright line from its
// version record, the terms of use and two links to the maker. Its creation
// is the last step of the start-up and ends by opening the command-line files.

#include <QDialog>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class VersionRecord;

class TMyAboutBox : public QDialog {
  Q_OBJECT
public:
  // Runs last in the box's creation and is handed the box, whose texts and
  // font are final by then: what it starts (the command-line passes) may
  // already show the box.
  using PostInit = std::function<void(TMyAboutBox&)>;

  // `record` may be nullptr (no record); `postInit` runs last, whether or not
  // a record was found. Neither is kept.
  TMyAboutBox(const VersionRecord* record, const PostInit& postInit, QWidget* parent = nullptr);

  static const char* const EmailAddress;
  static const char* const HomePageAddress;

  QFrame* Panel = nullptr;
  QLabel* Name = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* Freeware = nullptr;
  QLabel* Icon = nullptr;
  QLabel* Bugs = nullptr;
  QPushButton* OKButton = nullptr;
  QLabel* email = nullptr;
  QLabel* homepage = nullptr;

public slots:
  void emailClick();
  void homepageClick();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void createControls();
  void fitFont();
  void readRecord(const VersionRecord* record);
  void FormCreate(const VersionRecord* record, const PostInit& postInit);

  bool fitted_ = false;
};

// The one about box of the program, made at start-up.
extern TMyAboutBox* MyAboutBox;
