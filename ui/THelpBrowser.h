#pragma once
// The page pane of the help viewer: a text browser that reads qthelp:// pages,
// their pictures and style sheets from the help engine.

#include <QTextBrowser>

class QHelpEngineCore;

class THelpBrowser : public QTextBrowser {
  Q_OBJECT
public:
  explicit THelpBrowser(QHelpEngineCore* engine, QWidget* parent = nullptr);

  QVariant loadResource(int type, const QUrl& name) override;

private:
  QHelpEngineCore* engine_;
};
