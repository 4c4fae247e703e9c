// Stands in for the host under Wine: creates the file named by its first argument once it runs,
// so that a test knows it has started, then waits until it is ended. With a second argument it
// first takes the mutex of that name and holds it, as another run of the program would.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc > 2 && (!CreateMutexA(nullptr, TRUE, argv[2]) || GetLastError() == ERROR_ALREADY_EXISTS))
    return 1;
  if (argc > 1) {
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);
  }
  Sleep(INFINITE);
  return 0;
}
