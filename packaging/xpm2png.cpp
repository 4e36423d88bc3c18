// Build tool: writes an XPM picture as a PNG file, the form the desktop's
// icon themes take.
//   siftwell_xpm2png IN.xpm OUT.png

#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s IN.xpm OUT.png\n", argv[0]);
    return 2;
  }
  const QImage picture(QString::fromLocal8Bit(argv[1]), "XPM");
  if (picture.isNull()) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  if (!picture.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}
