// The document window: menus, position display, file commands, printing,
// editing commands and the rules for closing.
#include "support/DocumentTestSupport.h"
#include "support/EventWatch.h"
#include "support/FakeDialogService.h"
#include "ui/TRTFchild.h"
#include "ui/TextEditor.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <stdexcept>
#include <sys/resource.h>
#include <utility>

namespace {

void Select(TRTFchild& w, long anchor, long caret) {
  w.Edit()->Select(anchor, caret);
}

// What a line's cells hold, as fractions of each cell's pixels: the two box
// colours of control bytes and dark ink. Found from the boxes, which must
// stand first and last in the line, wherever the line lies in the image.
struct CellInk {
  double lowBox = 0;
  double highBox = 0;
  double ink = 0;
};

bool Near(QRgb pixel, const QColor& colour) {
  return std::abs(qRed(pixel) - colour.red()) < 24 &&
         std::abs(qGreen(pixel) - colour.green()) < 24 &&
         std::abs(qBlue(pixel) - colour.blue()) < 24;
}

// The screen's box colours: C0 and DEL on orange, C1 on violet.
const QColor kLowBox(255, 214, 170);
const QColor kHighBox(225, 205, 255);

std::vector<CellInk> InkOfCells(const QImage& picture, int cells) {
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  QRect boxes;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Near(image.pixel(x, y), kLowBox) || Near(image.pixel(x, y), kHighBox))
        boxes |= QRect(x, y, 1, 1);
  std::vector<CellInk> ink;
  if (boxes.isEmpty())
    return ink;
  const double width = static_cast<double>(boxes.width()) / cells;
  for (int cell = 0; cell < cells; ++cell) {
    CellInk c;
    int pixels = 0;
    // The middle of the cell: its edges may take a neighbour's pixels.
    const int left = boxes.left() + static_cast<int>((cell + 0.2) * width);
    const int right = boxes.left() + static_cast<int>((cell + 0.8) * width);
    for (int y = boxes.top(); y <= boxes.bottom(); ++y)
      for (int x = left; x < right; ++x, ++pixels) {
        const QRgb pixel = image.pixel(x, y);
        c.lowBox += Near(pixel, kLowBox);
        c.highBox += Near(pixel, kHighBox);
        c.ink += qGray(pixel) < 128;
      }
    c.lowBox /= pixels;
    c.highBox /= pixels;
    c.ink /= pixels;
    ink.push_back(c);
  }
  return ink;
}

// The program's one printer, printing into `pdf`.
QPrinter& PdfPrinter(const QString& pdf) {
  QPrinter& printer = TRTFchild::SharedPrinter();
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  return printer;
}

} // namespace

class TestRtfChild : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QString Path(const QString& name) const { return dir.filePath(name); }

private slots:
  void menuItemsAsDesigned_data();
  void menuItemsAsDesigned();
  void menusHoldItemsInOrder();
  void editorIsPlainEightBitText();
  void positionDisplayFollowsCaretAndSelection();
  void saveWritesCrLfWithoutDialog();
  void saveWithoutNameAsksAndAddsSuffix();
  void failedSaveKeepsOldFileAndRaises();
  void longSaveKeepsAnsweringAndHoldsEditsOff();
  void printsToPdfUnderJobTitle();
  void printCancelledPrintsNothing();
  void printsEveryLineInFull();
  void printsBytesAsTheScreenShowsThem();
  void longPrintShowsProgressAndCancels();
  void editCommandsUseLatin1Clipboard();
  void shortcutsReachTheMenuItems();
  void pasteWithoutTextKeepsTheSelection();
  void frameCommandsAreSignalled();
  void closeRefusedWhileFindDialogOpen();
  void closeItemClosesTheSubWindow();
};

void TestRtfChild::menuItemsAsDesigned_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("shortcut");
  QTest::addColumn<QString>("hint");
  auto row = [](const char* name, const char* caption, const char* shortcut, const char* hint) {
    QTest::newRow(name) << name << caption << shortcut << hint;
  };
  row("FileNewItem", "&New", "Ctrl+N", "Create a new file");
  row("FileOpenItem", "&Open...", "Ctrl+O", "Open an existing file");
  row("Reload", "&Load again", "Ctrl+L", "Read again current file");
  row("FileCloseItem", "&Close", "Ctrl+F4", "Close current file");
  row("FileSaveItem", "&Save", "Ctrl+S", "Save current file");
  row("FileSaveAsItem", "Save &As...", "", "Save current file under a new name");
  row("FilePrintItem", "&Print", "Ctrl+P", "Print current file");
  row("FilePrintSetupItem", "P&rint Setup...", "", "Change printer setup");
  row("FileExitItem", "E&xit", "", "Exit this application");
  row("EditUndoItem", "&Undo", "Ctrl+Z", "Undo the last action");
  row("EditCutItem", "Cu&t", "Ctrl+X", "Delete selected text");
  row("EditCopyItem", "&Copy", "Ctrl+C", "Copy selected text to clipboard");
  row("EditPasteItem", "&Paste", "Ctrl+V", "Paste contents of clipboard");
  row("EditDeleteItem", "&Delete", "Ctrl+D", "Delete selected text");
  row("EditSelectAllItem", "&Select all", "Ctrl+A", "Select all text");
  row("FindMenu", "&Find...", "Ctrl+F", "Search strng in tex");
  row("FindAgain", "Find &again", "F3", "Repeat last search");
  row("ReplaceMenu", "&Replace", "Ctrl+R", "");
}

void TestRtfChild::menuItemsAsDesigned() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  QFETCH(QString, shortcut);
  QFETCH(QString, hint);
  TRTFchild w;
  auto* action = w.findChild<QAction*>(name);
  QVERIFY(action);
  QCOMPARE(action->text(), caption);
  QCOMPARE(action->shortcut().toString(QKeySequence::PortableText), shortcut);
  QCOMPARE(action->statusTip(), hint);
  if (!hint.isEmpty())
    QCOMPARE(action->toolTip(), hint);
}

void TestRtfChild::menusHoldItemsInOrder() {
  TRTFchild w;
  QCOMPARE(w.FileMenu()->title(), QStringLiteral("&File"));
  QCOMPARE(w.EditMenu()->title(), QStringLiteral("&Edit"));
  auto names = [](QMenu* menu) {
    QStringList list;
    for (QAction* a : menu->actions())
      list << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return list.join(QLatin1Char(' '));
  };
  QCOMPARE(names(w.FileMenu()), QStringLiteral("FileNewItem FileOpenItem Reload FileCloseItem "
                                               "FileSaveItem FileSaveAsItem - FilePrintItem "
                                               "FilePrintSetupItem - FileExitItem"));
  QCOMPARE(names(w.EditMenu()), QStringLiteral("EditUndoItem - EditCutItem EditCopyItem "
                                               "EditPasteItem EditDeleteItem EditSelectAllItem - "
                                               "FindMenu FindAgain ReplaceMenu"));
}

void TestRtfChild::editorIsPlainEightBitText() {
  TRTFchild w;
  QVERIFY(!w.Edit()->WrapsLines());
  QCOMPARE(w.Edit()->font().pointSizeF(), 9.75);
  // The text itself is shown in that size too.
  QCOMPARE(w.Edit()->TextFont().pointSizeF(), 9.75);
  QCOMPARE(QFontInfo(w.font()).pixelSize(), 13);
  QCOMPARE(w.Edit()->font().styleHint(), QFont::TypeWriter);
  QCOMPARE(w.StatusBar()->height(), 19);
  // Every byte value is stored as it is.
  QByteArray all;
  for (int b = 1; b < 256; ++b)
    all.append(static_cast<char>(b));
  SetEditorText(w, all);
  QCOMPARE(EditorText(w), all);
}

void TestRtfChild::positionDisplayFollowsCaretAndSelection() {
  TRTFchild w;
  w.show();
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("Line 1, Column 1"));
  SetEditorText(w, "abc\ndefgh");
  Select(w, 4, 7);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("(2,1)-(2,4)"));
  Select(w, 0, 4);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("(1,1)-(2,1)"));
  // A selection made backwards reads the same.
  Select(w, 7, 4);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("(2,1)-(2,4)"));

  SetEditorText(w, "abc\nde");
  w.EditSelectAllItemClick();
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("(1,1)-(2,3)"));

  // Keys move the caret: the display follows at once.
  w.Edit()->setFocus();
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_Home, Qt::ControlModifier);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("Line 1, Column 1"));
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_Down);
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_Right);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("Line 2, Column 2"));
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_Right, Qt::ShiftModifier);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("(2,2)-(2,3)"));
  // A tab is one column.
  SetEditorText(w, "\tx");
  Select(w, 2, 2);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("Line 1, Column 3"));
}

void TestRtfChild::saveWritesCrLfWithoutDialog() {
  FakeDialogService dialogs;
  TRTFchild w;
  w.SetCaption(QStringLiteral("in.bin -> ") + Path("crlf.txt"));
  w.SetOutputFileName(Path("crlf.txt"));
  SetEditorText(w, QByteArray("one\ntwo\n\xe9t\xe9\nlast", 16));
  w.FileSaveItemClick();
  QVERIFY(dialogs.saveProposals.isEmpty());
  QCOMPARE(ReadAll(Path("crlf.txt")), QByteArray("one\r\ntwo\r\n\xe9t\xe9\r\nlast", 19));
}

void TestRtfChild::saveWithoutNameAsksAndAddsSuffix() {
  FakeDialogService dialogs;
  TRTFchild w;
  w.SetCaption(QStringLiteral("(No Name 1)"));
  SetEditorText(w, "text");
  dialogs.saveAnswers << Path("plain");
  w.FileSaveItemClick();
  QCOMPARE(dialogs.saveProposals, QStringList{QString()});
  QCOMPARE(w.OutputFileName(), Path("plain.txt"));
  QCOMPARE(w.Caption(), QStringLiteral("(No Name 1) -> ") + Path("plain.txt"));
  QCOMPARE(ReadAll(Path("plain.txt")), QByteArray("text"));

  // A second Save As to a name with an extension: used as it is, and only
  // the new name follows the arrow. The dialog proposes the last name.
  dialogs.saveAnswers << Path("other.log");
  w.FileSaveAsItemClick();
  QCOMPARE(dialogs.saveProposals.last(), Path("plain.txt"));
  QCOMPARE(w.Caption(), QStringLiteral("(No Name 1) -> ") + Path("other.log"));
  QCOMPARE(ReadAll(Path("other.log")), QByteArray("text"));

  // Cancelled: nothing changes.
  w.FileSaveAsItemClick();
  QCOMPARE(w.OutputFileName(), Path("other.log"));
  QCOMPARE(w.Caption(), QStringLiteral("(No Name 1) -> ") + Path("other.log"));
}

void TestRtfChild::failedSaveKeepsOldFileAndRaises() {
  FakeDialogService dialogs;
  TRTFchild w;
  QVERIFY(WriteFile(Path("keep.txt"), "old contents\r\n"));
  w.SetOutputFileName(Path("keep.txt"));
  SetEditorText(w, QByteArray(3 << 20, 'x'));
  // Writes beyond 1 MiB fail, as on a full disk.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 1 << 20;
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  bool raised = false;
  try {
    w.FileSaveItemClick();
  } catch (const std::runtime_error& e) {
    raised = QString::fromStdString(e.what()).contains(Path("keep.txt"));
  }
  setrlimit(RLIMIT_FSIZE, &old);
  QVERIFY(raised);
  QCOMPARE(ReadAll(Path("keep.txt")), QByteArray("old contents\r\n"));

  // A file that cannot be created at all raises too.
  w.SetOutputFileName(Path("no/such/folder/file.txt"));
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.FileSaveItemClick());
}

// A long save lets events run: the status bar shows how far it has got,
// the document takes no edits, Load again and a second save do nothing,
// and a close asked for meanwhile waits until the file is written.
void TestRtfChild::longSaveKeepsAnsweringAndHoldsEditsOff() {
  FakeDialogService dialogs;
  QApplication::clipboard()->setText(QStringLiteral("PASTED"));
  QPointer<TRTFchild> w(new TRTFchild);
  w->SetOutputFileName(Path("long.txt"));
  QByteArray text, expected;
  text.reserve(160 << 20);
  while (text.size() < (160 << 20)) {
    text.append("one line of a long save\n");
    expected.append("one line of a long save\r\n");
  }
  SetEditorText(*w, text);
  w->show();
  QWidget* view = w->Edit()->focusProxy();

  QStringList progress;
  bool tried = false;
  EventWatch watch([&w] { return w && w->Edit()->Busy(); },
                   [&] {
                     progress << w->StatusBar()->currentMessage();
                     if (std::exchange(tried, true))
                       return;
                     QTest::keyClick(view, Qt::Key_Z);
                     QTest::keyClick(view, Qt::Key_Delete);
                     w->EditPasteItemClick();
                     w->EditCutItemClick();
                     w->ReloadClick();
                     w->FileSaveItemClick();
                     dialogs.saveAnswers << Path("other.txt");
                     w->FileSaveAsItemClick();
                     w->close();
                   });
  w->FileSaveItemClick();

  QVERIFY(w);
  QVERIFY(tried);
  QVERIFY2(watch.Ticks() >= 3, qPrintable(QString::number(watch.Ticks())));
  QVERIFY2(watch.LongestGapMs() < 200, qPrintable(QString::number(watch.LongestGapMs())));
  const QRegularExpression shown(QStringLiteral("^Saving\\.\\.\\. \\d+%$"));
  QVERIFY2(progress.last().contains(shown), qPrintable(progress.join('|')));
  QVERIFY(w->StatusBar()->currentMessage().startsWith(QStringLiteral("Line ")));
  QVERIFY(EditorText(*w) == text);
  QVERIFY(ReadAll(Path("long.txt")) == expected);
  QVERIFY(dialogs.saveProposals.isEmpty());
  QVERIFY(!QFile::exists(Path("other.txt")));
  // The close asked for meanwhile goes ahead now that the text is safe.
  QTRY_VERIFY(!w);
}

void TestRtfChild::printsToPdfUnderJobTitle() {
  FakeDialogService dialogs;
  QPrinter& printer = TRTFchild::SharedPrinter();
  printer.setOutputFormat(QPrinter::PdfFormat);
  auto titleOf = [](const QString& pdf) {
    const QByteArray bytes = ReadAll(pdf);
    const qsizetype at = bytes.indexOf("/Title");
    return at < 0 ? QByteArray() : bytes.mid(at, 200);
  };
  auto utf16 = [](const QString& s) {
    // How the PDF writer spells a title: UTF-16 big-endian with its mark.
    QByteArray out("\xfe\xff", 2);
    for (QChar c : s) {
      out.append(static_cast<char>(c.unicode() >> 8));
      out.append(static_cast<char>(c.unicode() & 0xff));
    }
    return out;
  };

  TRTFchild w;
  w.OpenInput(QStringLiteral("input-name.bin"));
  SetEditorText(w, QByteArray("first line\nsecond line\n").repeated(200));
  printer.setOutputFileName(Path("input.pdf"));
  dialogs.printAnswers << true;
  w.FilePrintItemClick();
  QCOMPARE(dialogs.printDialogs, 1);
  QVERIFY(QFile::exists(Path("input.pdf")));
  QVERIFY(titleOf(Path("input.pdf")).contains(utf16(QStringLiteral("input-name.bin"))));

  w.SetOutputFileName(QStringLiteral("output-name.txt"));
  printer.setOutputFileName(Path("output.pdf"));
  dialogs.printAnswers << true;
  w.FilePrintItemClick();
  QVERIFY(titleOf(Path("output.pdf")).contains(utf16(QStringLiteral("output-name.txt"))));

  // Print Setup works on the same printer for every window.
  TRTFchild other;
  other.FilePrintSetupItemClick();
  QCOMPARE(dialogs.printSetupDialogs, 1);
  QCOMPARE(&TRTFchild::SharedPrinter(), &printer);
}

void TestRtfChild::printsEveryLineInFull() {
  // A line far longer than the page is wide goes on, line after printed
  // line, onto further pages; nothing of it is cut off.
  FakeDialogService dialogs;
  QPrinter& printer = TRTFchild::SharedPrinter();
  printer.setOutputFormat(QPrinter::PdfFormat);
  auto pages = [](const QString& pdf) { return ReadAll(pdf).count("/Type /Page\n"); };
  TRTFchild w;
  w.OpenInput(QStringLiteral("long.bin"));
  SetEditorText(w, "short line");
  printer.setOutputFileName(Path("short.pdf"));
  dialogs.printAnswers << true;
  w.FilePrintItemClick();
  QCOMPARE(pages(Path("short.pdf")), 1);
  // 60,000 characters of a line: hundreds of printed lines, on several
  // pages (a cut line would fill one).
  SetEditorText(w, QByteArray("0123456789").repeated(6000));
  printer.setOutputFileName(Path("long.pdf"));
  dialogs.printAnswers << true;
  w.FilePrintItemClick();
  QVERIFY2(pages(Path("long.pdf")) > 5, qPrintable(QString::number(pages(Path("long.pdf")))));
}

void TestRtfChild::printsBytesAsTheScreenShowsThem() {
  // Control bytes print as the screen draws them, boxes holding their hex
  // value, and the soft hyphen as "-": cell by cell, the printed line shows
  // what the view shows.
  FakeDialogService dialogs;
  QPrinter& printer = PdfPrinter(Path("controls.pdf"));
  TRTFchild w;
  w.resize(500, 200);
  w.show();
  // 01 a 1B b 7F c AD d 85
  const QByteArray line = QByteArray::fromHex("01 61 1b 62 7f 63 ad 64 85");
  SetEditorText(w, line + "\n");
  // The caret away from the line's cells.
  Select(w, line.size() + 1, line.size() + 1);
  dialogs.printAnswers << true;
  w.FilePrintItemClick();
  QVERIFY(QFile::exists(printer.outputFileName()));

  // The page at the screen's resolution: a printed cell as large as a shown
  // one.
  const QString page = Path("controls");
  QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"),
                             {QStringLiteral("-r"), QString::number(w.Edit()->logicalDpiY()),
                              QStringLiteral("-png"), QStringLiteral("-singlefile"),
                              printer.outputFileName(), page}),
           0);
  const std::vector<CellInk> printed = InkOfCells(QImage(page + ".png"), line.size());
  const std::vector<CellInk> shown = InkOfCells(w.Edit()->grab().toImage(), line.size());
  QCOMPARE(shown.size(), static_cast<std::size_t>(line.size()));
  QCOMPARE(printed.size(), shown.size());
  for (std::size_t cell = 0; cell < shown.size(); ++cell) {
    const CellInk& p = printed[cell];
    const CellInk& s = shown[cell];
    const QByteArray what = "cell " + QByteArray::number(static_cast<int>(cell)) + ": printed " +
                            QByteArray::number(p.lowBox) + "/" + QByteArray::number(p.highBox) +
                            "/" + QByteArray::number(p.ink) + ", shown " +
                            QByteArray::number(s.lowBox) + "/" + QByteArray::number(s.highBox) +
                            "/" + QByteArray::number(s.ink);
    QVERIFY2((p.lowBox > 0.1) == (s.lowBox > 0.1), what);
    QVERIFY2((p.highBox > 0.1) == (s.highBox > 0.1), what);
    QVERIFY2((p.ink > 0.01) == (s.ink > 0.01), what);
  }
}

void TestRtfChild::longPrintShowsProgressAndCancels() {
  // A job of thousands of pages shows its progress; Cancel stops it there
  // and is no error.
  FakeDialogService dialogs;
  PdfPrinter(Path("cancelled.pdf"));
  TRTFchild w;
  w.show();
  QByteArray text;
  for (int line = 0; line < 300000; ++line)
    text += "printed line " + QByteArray::number(line) + "\n";
  SetEditorText(w, text);
  QString label;
  QTimer cancel;
  QObject::connect(&cancel, &QTimer::timeout, [&] {
    auto* progress = w.findChild<QProgressDialog*>(QStringLiteral("PrintProgress"));
    if (!progress || !progress->isVisible())
      return;
    label = progress->labelText();
    auto* button = progress->findChild<QPushButton*>();
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    cancel.stop();
  });
  cancel.start(20);
  dialogs.printAnswers << true;
  w.FilePrintItemClick();
  QVERIFY2(label.startsWith(QStringLiteral("Printing page ")), qPrintable(label));
  QVERIFY(!cancel.isActive());
  QCOMPARE(dialogs.messages.size(), 0);
  // Stopped well before the end: the whole text takes over 3,000 pages.
  const int pages = ReadAll(Path("cancelled.pdf")).count("/Type /Page\n");
  QVERIFY2(pages < 2000, qPrintable(QString::number(pages)));
}

void TestRtfChild::printCancelledPrintsNothing() {
  FakeDialogService dialogs;
  PdfPrinter(Path("never.pdf"));
  TRTFchild w;
  SetEditorText(w, "text");
  w.FilePrintItemClick();
  QCOMPARE(dialogs.printDialogs, 1);
  QVERIFY(!QFile::exists(Path("never.pdf")));
}

void TestRtfChild::editCommandsUseLatin1Clipboard() {
  TRTFchild w;
  QClipboard* clipboard = QApplication::clipboard();
  SetEditorText(w, "caf\xe9 au lait");
  // No selection: Cut, Copy and Delete do nothing.
  clipboard->setText(QStringLiteral("untouched"));
  Select(w, 2, 2);
  w.EditCopyItemClick();
  w.EditCutItemClick();
  w.EditDeleteItemClick();
  QCOMPARE(clipboard->text(), QStringLiteral("untouched"));
  QCOMPARE(EditorText(w), QByteArray("caf\xe9 au lait"));

  Select(w, 0, 4);
  w.EditCopyItemClick();
  QCOMPARE(clipboard->text(), QString::fromUtf8("café"));
  w.EditCutItemClick();
  QCOMPARE(EditorText(w), QByteArray(" au lait"));
  QCOMPARE(clipboard->text(), QString::fromUtf8("café"));

  // A character outside ISO 8859-1 becomes "?"; line breaks become LF.
  clipboard->setText(QString::fromUtf8("5 €\r\nnext"));
  Select(w, 0, 0);
  w.EditPasteItemClick();
  QCOMPARE(EditorText(w), QByteArray("5 ?\nnext au lait"));
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("Line 2, Column 5"));

  w.EditUndoItemClick();
  QCOMPARE(EditorText(w), QByteArray(" au lait"));

  Select(w, 0, 3);
  w.EditDeleteItemClick();
  QCOMPARE(EditorText(w), QByteArray(" lait"));
  QCOMPARE(clipboard->text(), QString::fromUtf8("5 €\r\nnext"));

  w.EditSelectAllItemClick();
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("(1,1)-(1,6)"));
}

void TestRtfChild::shortcutsReachTheMenuItems() {
  FakeDialogService dialogs;
  TRTFchild w;
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  w.Edit()->setFocus();
  SetEditorText(w, "keep this");
  // Ctrl+D is the editor's own line duplication unless the item owns it.
  Select(w, 0, 5);
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(EditorText(w), QByteArray("this"));
  // Ctrl+L is the editor's line cut unless Load again owns it; here Load
  // again reports the unnamed input.
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_L, Qt::ControlModifier);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error reading file"));
  QCOMPARE(EditorText(w), QByteArray("this"));
  // Typing still types.
  QTest::keyClicks(w.Edit()->focusProxy(), "ab");
  QCOMPARE(EditorText(w), QByteArray("abthis"));
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_Z, Qt::ControlModifier);
  QVERIFY(EditorText(w) != QByteArray("abthis"));
}

void TestRtfChild::pasteWithoutTextKeepsTheSelection() {
  TRTFchild w;
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  w.Edit()->setFocus();
  SetEditorText(w, "nothing to lose");
  QClipboard* clipboard = QApplication::clipboard();
  // An empty clipboard, then one that holds only a picture.
  clipboard->clear();
  Select(w, 0, 7);
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(EditorText(w), QByteArray("nothing to lose"));
  auto* picture = new QMimeData;
  picture->setImageData(QImage(4, 4, QImage::Format_RGB32));
  clipboard->setMimeData(picture);
  QTest::keyClick(w.Edit()->focusProxy(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(EditorText(w), QByteArray("nothing to lose"));
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("(1,1)-(1,8)"));
}

void TestRtfChild::frameCommandsAreSignalled() {
  TRTFchild w;
  QSignalSpy news(&w, &TRTFchild::NewRequested);
  QSignalSpy opens(&w, &TRTFchild::OpenRequested);
  QSignalSpy exits(&w, &TRTFchild::ExitRequested);
  Item(&w, "FileNewItem")->trigger();
  Item(&w, "FileOpenItem")->trigger();
  Item(&w, "FileExitItem")->trigger();
  QCOMPARE(news.size(), 1);
  QCOMPARE(opens.size(), 1);
  QCOMPARE(exits.size(), 1);
  QCOMPARE(news[0][0].value<QObject*>(), Item(&w, "FileNewItem"));
  QCOMPARE(opens[0][0].value<QObject*>(), Item(&w, "FileOpenItem"));
  QCOMPARE(exits[0][0].value<QObject*>(), Item(&w, "FileExitItem"));
}

void TestRtfChild::closeRefusedWhileFindDialogOpen() {
  FakeDialogService dialogs;
  QPointer<TRTFchild> w = new TRTFchild;
  w->show();
  SetEditorText(*w, "edited and never saved");
  Item(w, "FindMenu")->trigger();
  QVERIFY(w->FindDialog() && w->FindDialog()->isVisible());
  QVERIFY(!w->close());
  QVERIFY(w->isVisible());
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].text,
           QStringLiteral("Sorry, this application (or my compiler) is still buggy\nYou must "
                          "close the Find/Replace box before the window"));
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Sift Well Error"));
  QCOMPARE(dialogs.messages[0].buttons, DialogService::Buttons::Ok);
  QCOMPARE(dialogs.messages[0].icon, DialogService::Icon::None);

  w->FindDialog()->hide();
  Item(w, "ReplaceMenu")->trigger();
  QVERIFY(w->ReplaceDialog() && w->ReplaceDialog()->isVisible());
  QVERIFY(!w->close());
  QCOMPARE(dialogs.messages.size(), 2);

  // Once it is closed the window closes without a question, and is freed.
  w->ReplaceDialog()->hide();
  QVERIFY(w->close());
  QCOMPARE(dialogs.messages.size(), 2);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(w.isNull());
}

void TestRtfChild::closeItemClosesTheSubWindow() {
  QMdiArea area;
  area.show();
  auto* w = new TRTFchild;
  w->SetCaption(QStringLiteral("doc"));
  QPointer<QMdiSubWindow> sub = area.addSubWindow(w);
  w->show();
  QCOMPARE(sub->windowTitle(), QStringLiteral("doc"));
  QPointer<TRTFchild> guard = w;
  Item(w, "FileCloseItem")->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(guard.isNull());
  QVERIFY(sub.isNull());
  QVERIFY(area.subWindowList().isEmpty());
}

QTEST_MAIN(TestRtfChild)
#include "test_rtfchild.moc"
