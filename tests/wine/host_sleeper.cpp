// Stands in for the host under Wine: creates the file named by its argument once it runs, so
// that a test knows it has started, then waits until it is ended.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc > 1) {
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);
  }
  Sleep(INFINITE);
  return 0;
}
