#include "ui/THelpViewer.h"

#include "ui/THelpBrowser.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QPointer<THelpViewer> viewer;
} // namespace

THelpViewer* THelpViewer::Instance() {
  return viewer;
}

THelpViewer* THelpViewer::Open(const QString& collectionFile) {
  if (viewer && viewer->collectionFile_ != collectionFile)
    delete viewer;
  if (!viewer)
    viewer = new THelpViewer(collectionFile);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}

THelpViewer::THelpViewer(const QString& collectionFile)
    : QWidget(nullptr), collectionFile_(collectionFile) {
  setWindowTitle(QStringLiteral("Sift Well Help"));
  // The viewer stands beside the program's windows: it neither keeps the
  // program running nor is closed with the main window's documents.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(820, 600);

  // An installed collection sits in a folder the user cannot write; and the
  // engine's database would leave an empty file in place of a missing one,
  // so a missing collection is not opened at all.
  engine_ = new QHelpEngine(QFileInfo::exists(collectionFile) ? collectionFile : QString(), this);
  engine_->setReadOnly(true);
  engine_->setupData();

  tabs_ = new QTabWidget;
  tabs_->addTab(engine_->contentWidget(), QStringLiteral("Contents"));
  // The index with the usual field above it: typing narrows the list, Enter
  // opens the highlighted entry.
  indexPage_ = new QWidget;
  lookFor_ = new QLineEdit;
  auto* lookForLabel = new QLabel(QStringLiteral("&Look for:"));
  lookForLabel->setBuddy(lookFor_);
  auto* indexLayout = new QVBoxLayout(indexPage_);
  indexLayout->setContentsMargins(4, 4, 4, 4);
  indexLayout->addWidget(lookForLabel);
  indexLayout->addWidget(lookFor_);
  indexLayout->addWidget(engine_->indexWidget(), 1);
  tabs_->addTab(indexPage_, QStringLiteral("Index"));
  connect(lookFor_, &QLineEdit::textEdited, engine_->indexWidget(),
          [this](const QString& text) { engine_->indexWidget()->filterIndices(text); });
  connect(lookFor_, &QLineEdit::returnPressed, engine_->indexWidget(),
          &QHelpIndexWidget::activateCurrentItem);

  browser_ = new THelpBrowser(engine_);
  browser_->setOpenLinks(false);

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(tabs_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({240, 580});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);

  connect(engine_->contentWidget(), &QHelpContentWidget::linkActivated, this,
          &THelpViewer::ShowUrl);
  connect(engine_->indexWidget(), &QHelpIndexWidget::documentActivated, this,
          [this](const QHelpLink& document, const QString&) { ShowUrl(document.url); });
  connect(engine_->indexWidget(), &QHelpIndexWidget::documentsActivated, this,
          [this](const QList<QHelpLink>& documents, const QString&) {
            if (!documents.isEmpty())
              ShowUrl(documents.constFirst().url);
          });
  connect(browser_, &QTextBrowser::anchorClicked, this, &THelpViewer::LinkClicked);
  connect(engine_->contentModel(), &QHelpContentModel::contentsCreated, this, [this] {
    engine_->contentWidget()->expandToDepth(0);
    if (homePending_)
      ShowHomePage();
  });
}

void THelpViewer::ShowContents() {
  tabs_->setCurrentWidget(engine_->contentWidget());
  ShowHomePage();
}

void THelpViewer::ShowIndex() {
  tabs_->setCurrentWidget(indexPage_);
  lookFor_->clear();
  engine_->indexWidget()->filterIndices(QString());
  lookFor_->setFocus();
}

void THelpViewer::ShowContext(int context) {
  tabs_->setCurrentWidget(engine_->contentWidget());
  const QList<QHelpLink> documents = engine_->documentsForIdentifier(QString::number(context));
  // A number without a topic leaves the viewer as it is.
  if (!documents.isEmpty())
    ShowUrl(documents.constFirst().url);
}

QUrl THelpViewer::CurrentUrl() const {
  return browser_->source();
}

QString THelpViewer::CurrentPane() const {
  return tabs_->currentWidget() == indexPage_ ? QStringLiteral("index")
                                              : QStringLiteral("contents");
}

void THelpViewer::ShowHomePage() {
  homePending_ = false;
  const QUrl home(engine_->customValue(QStringLiteral("defaultHomepage")).toString());
  if (home.isValid() && !home.isEmpty()) {
    ShowUrl(home);
    return;
  }
  QHelpContentModel* model = engine_->contentModel();
  if (model->isCreatingContents()) {
    homePending_ = true;
    return;
  }
  if (model->rowCount() > 0) {
    if (QHelpContentItem* first = model->contentItemAt(model->index(0, 0)))
      ShowUrl(first->url());
  }
}

void THelpViewer::ShowUrl(const QUrl& url) {
  browser_->setSource(url);
}

void THelpViewer::LinkClicked(const QUrl& link) {
  const QUrl target = browser_->source().resolved(link);
  if (target.scheme() == QLatin1String("qthelp"))
    ShowUrl(target);
  else
    QDesktopServices::openUrl(target);
}
