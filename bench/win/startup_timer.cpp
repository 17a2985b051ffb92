// Times the start-up of two or more programs, taking turns: from CreateProcess
// until WaitForInputIdle returns, i.e. until the program's first message loop
// waits with nothing left to do. The programs paint in UpdateWindow before
// they enter that loop, so the time covers load, window creation and the
// first paint. At that moment, with the clock stopped, it also reads the
// process's memory: the working set (resident pages, shared ones included)
// and the private commit (PagefileUsage). Each process is ended after its
// run.
//
//   startup_timer.exe RUNS A.exe B.exe [C.exe ...]
//
// Prints one line per run: "<letter> <ms> <working set KiB> <private KiB>",
// the letter naming the program by its place on the command line.
#include <windows.h>
#include <psapi.h>

#include "clock.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct Run {
  double ms = 0;
  SIZE_T workingSet = 0;
  SIZE_T privateBytes = 0;
};

bool RunOnce(const char* exe, Run& run) {
  PROCESS_INFORMATION process;
  const double start = Now();
  if (!Start(exe, process)) return false;
  const DWORD idle = WaitForInputIdle(process.hProcess, 10000);
  run.ms = Now() - start;
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  const bool measured = GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
  run.workingSet = memory.WorkingSetSize;
  run.privateBytes = memory.PagefileUsage;
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (idle != 0) {
    std::fprintf(stderr, "%s did not become idle (%lu)\n", exe, idle);
    return false;
  }
  if (!measured || run.workingSet == 0) {
    std::fprintf(stderr, "no memory counters for %s\n", exe);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: startup_timer RUNS A.exe B.exe [C.exe ...]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const int programs = argc - 2;
  for (int i = 0; i < runs; ++i) {
    for (int turn = 0; turn < programs; ++turn) {
      // Each round starts with another program and every other round goes
      // the other way round, so none always runs first or always after the
      // same one (with three programs, six rounds take every order once).
      const int step = (i % 2 == 0) ? turn : programs - turn;
      const int pick = (i + step) % programs;
      Run run;
      if (!RunOnce(argv[2 + pick], run)) return 1;
      std::printf("%c %.3f %lu %lu\n", 'A' + pick, run.ms,
                  static_cast<unsigned long>(run.workingSet / 1024),
                  static_cast<unsigned long>(run.privateBytes / 1024));
      std::fflush(stdout);
    }
  }
  return 0;
}
