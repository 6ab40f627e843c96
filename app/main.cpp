// nyxel [--drive DIR] [--simulate] [--seed N]: the window program, by default on the drive folder ~/Nyxel
// with the camera on USB; --simulate puts the simulated camera and mount in their place.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/TNyxelApp.h"
#include "app/TNyxelWindow.h"
#include "core/Drive.h"

namespace {

constexpr const char* kUsage = "usage: nyxel [--drive DIR] [--simulate] [--seed N]\n";

void PrintHelp() {
  std::fputs(kUsage, stdout);
  std::fputs(
      "  --drive DIR   the folder that stands for the drive c: (settings, display bitmap, autosaved\n"
      "                images); ~/Nyxel by default\n"
      "  --simulate    the simulated camera and mount instead of the devices\n"
      "  --seed N      the simulated sky (the same seed gives the same pixels)\n"
      "  --version     print the version and stop\n"
      "  --help        print this text and stop\n"
      "Qt's own options (-platform NAME, -style NAME, ...) are taken as well.\n",
      stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version are answered before the application object exists: Qt ends the process when
  // it finds no display, and neither needs one. The value after --drive or --seed is not an option.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      PrintHelp();
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("nyxel %s\n", NYXEL_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--drive") == 0 || std::strcmp(argv[i], "--seed") == 0) ++i;
  }

  nyxel::TNyxelApp app(argc, argv);
  std::filesystem::path root = nyxel::Drive::DefaultRoot();
  nyxel::StartOptions options;
  const QStringList args = QCoreApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--simulate")) {
      options.simulate = true;
    } else if ((a == QLatin1String("--drive") || a == QLatin1String("--seed")) && i + 1 < args.size()) {
      const QString value = args[++i];
      if (a == QLatin1String("--drive")) {
        root = value.toStdString();
      } else {
        bool ok = false;
        const uint v = value.toUInt(&ok);
        if (!ok) {
          std::fprintf(stderr, "nyxel: --seed takes a whole number\n");
          return 2;
        }
        options.seed = v;
      }
    } else {
      std::fprintf(stderr, "nyxel: bad option '%s'\n%s", a.toLocal8Bit().constData(), kUsage);
      return 2;
    }
  }
  return app.Run(root, options);
}
