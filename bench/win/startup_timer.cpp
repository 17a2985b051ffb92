// Times the start-up of two programs, alternating: from CreateProcess until
// WaitForInputIdle returns, i.e. until the program's first message loop
// waits with nothing left to do. Both programs paint in UpdateWindow before
// they enter that loop, so the time covers load, window creation and the
// first paint. Each process is ended after its run.
//
//   startup_timer.exe RUNS A.exe B.exe
//
// Prints one line per run: "A <ms>" or "B <ms>".
#include <windows.h>

#include "clock.h"

#include <cstdio>
#include <cstdlib>

static bool TimeOnce(const char* exe, double& ms) {
  char commandLine[MAX_PATH + 2];
  std::snprintf(commandLine, sizeof commandLine, "\"%s\"", exe);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = Now();
  if (!CreateProcessA(exe, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "cannot start %s: error %lu\n", exe, GetLastError());
    return false;
  }
  const DWORD idle = WaitForInputIdle(process.hProcess, 10000);
  ms = Now() - start;
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (idle != 0) {
    std::fprintf(stderr, "%s did not become idle (%lu)\n", exe, idle);
    return false;
  }
  return true;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: startup_timer RUNS A.exe B.exe\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  for (int i = 0; i < runs; ++i) {
    for (int which = 0; which < 2; ++which) {
      // Alternate which one goes first so neither always profits from a
      // warmer cache.
      const int pick = (i % 2 == 0) ? which : 1 - which;
      double ms = 0;
      if (!TimeOnce(argv[2 + pick], ms)) return 1;
      std::printf("%c %.3f\n", pick == 0 ? 'A' : 'B', ms);
      std::fflush(stdout);
    }
  }
  return 0;
}
