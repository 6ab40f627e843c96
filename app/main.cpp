// nyxel: the window program on the drive folder ~/Nyxel.
#include "app/TNyxelApp.h"
#include "core/Drive.h"

int main(int argc, char** argv) {
  nyxel::TNyxelApp app(argc, argv);
  return app.Run(nyxel::Drive::DefaultRoot());
}
