// For the timing helpers: milliseconds from the high-resolution performance
// counter, and the program under measurement started.
#pragma once

#include <windows.h>

#include <cstdio>

inline double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Starts exe, its quoted path as its command line; false, said on stderr,
// where it cannot.
inline bool Start(const char* exe, PROCESS_INFORMATION& process) {
  char commandLine[MAX_PATH + 2];
  std::snprintf(commandLine, sizeof commandLine, "\"%s\"", exe);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  process = {};
  if (CreateProcessA(exe, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return true;
  }
  std::fprintf(stderr, "cannot start %s: error %lu\n", exe, GetLastError());
  return false;
}
