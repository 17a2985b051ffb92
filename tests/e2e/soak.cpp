// Random real keys into one running program (soak), and the time from a key's
// release to the other three fields rewritten (bench_keyup, for
// scripts/bench.sh): both drive the window as the other groups do.
#include <algorithm>
#include <cstdio>
#include <random>

#include "e2e.h"

using namespace e2e;

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

long long Setting(const char* name, long long fallback) {
  char value[32] = "";
  return GetEnvironmentVariableA(name, value, sizeof value) ? atoll(value) : fallback;
}

double Ms(std::vector<double> v, double quantile) {
  std::sort(v.begin(), v.end());
  return 1000 * v[std::min(v.size() - 1, size_t(quantile * double(v.size())))];
}

}  // namespace

// QV_SOAK_KEYS keys (200 by default) from the seed QV_SOAK_SEED (else a
// random one, printed). After every key the program runs, and once settled
// the other three fields show the focused field's value; a warning carries
// its text and is dismissed with Enter.
SCENARIO("soak", random_keys) {
  const int keys = int(Setting("QV_SOAK_KEYS", 200));
  const long long seed = Setting("QV_SOAK_SEED", (long long)(Seconds() * 1e6) + GetCurrentProcessId()) % (1 << 30);
  std::mt19937_64 rng{uint64_t(seed)};
  auto below = [&](uint64_t lo, uint64_t hi) { return std::uniform_int_distribution<uint64_t>(lo, hi - 1)(rng); };
  // Digits weigh most, so that the fields fill up to their limits and the
  // overflow warning comes up often.
  std::vector<std::string> names;
  auto add = [&](const std::string& key, int weight) { names.insert(names.end(), weight, key); };
  for (char c : std::string("0123456789abcdefABCDEFgxz -")) add(std::string(1, c), c <= '9' ? 8 : c <= 'f' ? 2 : 1);
  for (auto [key, weight] : {std::pair{"{Tab}", 4}, {"{S-Tab}", 1}, {"{Esc}", 1}, {"{Back}", 3}, {"{Del}", 1},
                             {"{Left}", 2}, {"{Right}", 1}, {"{Home}", 1}, {"{End}", 2}, {"{C-z}", 1}, {"{C-v}", 1},
                             {"{S-Ins}", 2}}) {
    add(key, weight);
  }
  printf("soak: %d keys, seed %lld\n", keys, seed);
  std::vector<double> settle;
  int warnings = 0;
  const double started = Seconds();
  EmptyField(Binary);
  for (int i = 0; i < keys; ++i) {
    const std::string key = names[below(0, names.size())], step = "seed " + std::to_string(seed) + ", key " +
                                                                  std::to_string(i) + " " + key;
    if (key == "{S-Ins}") {
      std::string clip;
      char number[24];
      const uint64_t kind = below(0, 4), n = kind == 3 ? below(1ull << 32, 100000000000ull) : below(0, 1ull << 32);
      snprintf(number, sizeof number, kind == 1 ? "0x%llx" : "%llu", static_cast<unsigned long long>(n));
      for (uint64_t j = kind == 2 ? below(1, 14) : 0; j > 0; --j) clip += "0123456789abcdefxyz -_"[below(0, 22)];
      SetClipboard(kind == 2 ? clip : std::string(number));
    }
    const double t0 = Seconds();
    Type(key);
    // Settled: the warning up, or the same reading twice (a key whose release
    // is not handled yet may still change the fields).
    std::string previous;
    const State s = Expect(step, "the other fields showing the focused field's value", [&](const State& s) {
      if (!Running()) Fail(step, "the program to keep running", "it ended");
      const bool settled = s.box.window || (Disagreement(s).empty() && s.Line() == previous);
      previous = s.Line();
      return settled;
    });
    if (s.box.window) {
      ++warnings;
      DismissWarning(step + ": warning");
      Expect(step + ": settled after the warning", "the fields agreeing, the focus back in octal or decimal",
             [](const State& s) { return Disagreement(s).empty() && (s.focus == "octal" || s.focus == "decimal"); });
    }
    settle.push_back(Seconds() - t0);
    if ((i + 1) % 100 == 0) {
      printf("  %d keys, %d warnings, %.0f s; now %s\n", i + 1, warnings, Seconds() - started, Read().Line().c_str());
    }
  }
  PostMessageW(Main(), WM_CLOSE, 0, 0);
  Exits("close");
  printf("soak: %zu keys, %d overflow warnings, 0 failures, %.1f s; per key until settled: median %.0f ms, "
         "max %.0f ms (seed %lld)\n", settle.size(), warnings, Seconds() - started, Ms(settle, 0.5), Ms(settle, 1), seed);
}

// QV_BENCH_KEYS releases of a key in Binary, each timed until Hexadecimal (the
// last field rewritten) shows the new value; against one WM_GETTEXT round trip
// measured in the same run, which bounds the resolution from below.
SCENARIO("bench_keyup", key_release) {
  const int keys = int(Setting("QV_BENCH_KEYS", 600));
  EmptyField(Binary);
  std::vector<double> trips, times;
  for (int i = 0; i < 200; ++i) {
    const double t0 = Seconds();
    FieldText(Hexadecimal);
    trips.push_back(Seconds() - t0);
  }
  std::string typed;
  for (int k = 0; k < keys; ++k) {
    // 31 ones, then 31 Backspaces, and again: every release changes the value.
    const bool typing = k / 31 % 2 == 0;
    typed = typing ? typed + "1" : typed.substr(0, typed.size() - 1);
    KeyDown(typing ? "1" : "Back");
    Expect("key " + std::to_string(k) + " down", "binary " + typed,
           [&](const State& s) { return s.text[Binary] == typed; });
    const std::string want = Canonical(uint32_t(strtoul(typed.c_str(), nullptr, 2)), Hexadecimal);
    const double t0 = Seconds();
    KeyUp(typing ? "1" : "Back");
    // Spun rather than polled: a pause between readings would be the measure.
    while (FieldText(Hexadecimal) != want && Seconds() - t0 < Slow(5)) {
    }
    times.push_back(Seconds() - t0);
    Shows("key " + std::to_string(k) + " released", Showing(Binary, typed));
  }
  printf("input SendInput\nkeys %zu\nmedian_ms %.3f\np99_ms %.3f\nmax_ms %.3f\ngettext_roundtrip_median_ms %.3f\n"
         "median_over_roundtrip %.1f\n", times.size(), Ms(times, 0.5), Ms(times, 0.99), Ms(times, 1), Ms(trips, 0.5),
         Ms(times, 0.5) / Ms(trips, 0.5));
}
