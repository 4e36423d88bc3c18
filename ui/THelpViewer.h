#pragma once
// The help viewer: a top-level window with no owner showing the contents,
// the index and the current topic of a compiled help collection.

#include <QUrl>
#include <QWidget>

class QHelpEngine;
class QLineEdit;
class QTextBrowser;
class QTabWidget;

class THelpViewer : public QWidget {
  Q_OBJECT
public:
  // The one viewer, created on first use; nullptr before that.
  static THelpViewer* Instance();
  static THelpViewer* Open(const QString& collectionFile);

  void ShowContents();
  void ShowIndex();
  // Shows the topic of the keyword whose id is `context`.
  void ShowContext(int context);

  QUrl CurrentUrl() const;
  // Which of the side panes is in front: "contents" or "index".
  QString CurrentPane() const;

private:
  explicit THelpViewer(const QString& collectionFile);
  // The help's start page: the collection's home page when it names one,
  // else the first entry of the contents (which are read in the background).
  void ShowHomePage();
  void ShowUrl(const QUrl& url);
  void LinkClicked(const QUrl& link);

  QString collectionFile_;
  bool homePending_ = false;
  QHelpEngine* engine_ = nullptr;
  QTextBrowser* browser_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QWidget* indexPage_ = nullptr;
  QLineEdit* lookFor_ = nullptr;
};
