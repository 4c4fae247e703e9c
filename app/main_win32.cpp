// The Windows program: a GUI-subsystem process whose command line is WinMain's.
#include <windows.h>

#include "app/norvex_express_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  CNorvexExpressApp app(platform::openSystemRegistry());
  return app.InitInstance(commandLine);
}
