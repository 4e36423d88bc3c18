#include "settings/TextOptions.h"

TextOptions& GlobalTextOptions() {
  static TextOptions options;
  return options;
}
