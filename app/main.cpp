// nyxel [--drive DIR] [--simulate] [--seed N]: the window program, by default on the drive folder ~/Nyxel
// with the camera on USB; --simulate puts the simulated camera and mount in their place.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/TNyxelApp.h"
#include "app/TNyxelWindow.h"
#include "core/Drive.h"

int main(int argc, char** argv) {
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
      std::fprintf(stderr, "usage: nyxel [--drive DIR] [--simulate] [--seed N]\n");
      return a == QLatin1String("--help") ? 0 : 2;
    }
  }
  return app.Run(root, options);
}
