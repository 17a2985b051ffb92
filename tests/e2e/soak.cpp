// Random real keys into one running program (soak); key release to the fields rewritten (bench_keyup, bench.sh).
#include <random>

#include "e2e.h"

using namespace e2e;


static double Ms(std::vector<double> v, double quantile) {  // in milliseconds
  std::sort(v.begin(), v.end());
  return 1000 * v[std::min(v.size() - 1, size_t(quantile * double(v.size())))];
}

static std::string Disagreement(const State& s) {
  const int source = int(std::find(kFieldNames, kFieldNames + 4, s.focus) - kFieldNames);
  if (source == 4) return "the focus is not in a field: " + s.focus;
  const std::string& t = s.text[source];
  const char* name = kFieldNames[source];
  if (int(t.size()) > kLimits[source]) return Say("%s holds %zu characters", name, t.size());
  const size_t alphabet = source == Hexadecimal ? 22 : size_t(kRadix[source]);
  for (char c : t) {
    if (!memchr("0123456789abcdefABCDEF", c, alphabet)) return Say("%s holds a '\\x%02x'", name, (unsigned char)c);
  }
  if (strtoull(t.c_str(), nullptr, kRadix[source]) > 0xFFFFFFFF) return Say("%s holds %s, too big", name, t.c_str());
  const std::string want = Showing(Field(source), t);
  return s.Line() == want ? "" : "the others do not show its value: " + s.Line() + ", want " + want;
}

// QV_SOAK_KEYS keys (200) from the seed QV_SOAK_SEED (else a random one): after each the program runs and settles.
SCENARIO("soak", random_keys) {
  const int keys = int(Setting("QV_SOAK_KEYS", 200));
  const long long seed = (long long)Setting("QV_SOAK_SEED", Now() * 1e6 + GetCurrentProcessId()) % (1 << 30);
  std::mt19937_64 rng{uint64_t(seed)};
  auto below = [&](uint64_t lo, uint64_t hi) { return std::uniform_int_distribution<uint64_t>(lo, hi - 1)(rng); };
  // Keys by weight: digits weigh most, so that the fields fill up and the warning comes up often.
  std::vector<std::string> names;
  for (auto [keys, weight] : {std::pair{"0123456789", 8}, {"{Tab}", 4}, {"{Back}", 3}, {"abcdef{Left}{End}{S-Ins}", 2},
                              {"ABCDEFgxz -{S-Tab}{Esc}{Del}{Right}{Home}{C-z}{C-v}", 1}}) {
    for (std::string rest = keys; !rest.empty(); rest.erase(0, names.back().size())) {
      names.insert(names.end(), weight, rest.substr(0, rest[0] == '{' ? rest.find('}') + 1 : 1));
    }
  }
  printf("soak: %d keys, seed %lld\n", keys, seed);
  std::vector<double> settle;
  const double started = Now();
  int warnings = 0;
  EmptyField(Binary);
  for (int i = 0; i < keys; ++i) {
    const std::string key = names[below(0, names.size())];
    const std::string step = Say("seed %lld, key %d %s", seed, i, key.c_str());
    if (key == "{S-Ins}") {  // a number, 0x and hexadecimal digits, other characters, a number above 32 bits
      const uint64_t kind = below(0, 4), n = kind == 3 ? below(1ull << 32, 100000000000ull) : below(0, 1ull << 32);
      std::string clip = kind == 1 ? "0x" + Canonical(uint32_t(n), Hexadecimal) : kind == 2 ? "" : std::to_string(n);
      for (uint64_t j = kind == 2 ? below(1, 14) : 0; j > 0; --j) clip += "0123456789abcdefxyz -_"[below(0, 22)];
      SetClipboard(clip);
    }
    const double t0 = Now();
    Type(key);
    // Settled: the warning up, or the same reading twice (a release not yet handled may change the fields).
    std::string previous;
    const State s = Expect(step, "the other fields showing the focused field's value", [&](const State& s) {
      if (!Running()) Fail(step, "the program to keep running", "it ended");
      return s.box.window || (std::exchange(previous, s.Line()) == s.Line() && Disagreement(s).empty());
    });
    if (s.box.window) {
      ++warnings;
      DismissWarning(step + ": warning");
      Expect(step + ": settled after the warning", "the fields agreeing, the focus back in octal or decimal",
             [](const State& s) { return Disagreement(s).empty() && (s.focus == "octal" || s.focus == "decimal"); });
    }
    settle.push_back(Now() - t0);
  }
  PostMessageW(Main(), WM_CLOSE, 0, 0);
  Exits("close");
  printf("soak: %zu keys, %d overflow warnings, 0 failures, %.1f s; per key until settled: median %.0f ms, max %.0f ms "
         "(seed %lld)\n", settle.size(), warnings, Now() - started, Ms(settle, 0.5), Ms(settle, 1), seed);
}

// QV_BENCH_KEYS key releases timed until the other fields show the value, against a WM_GETTEXT round trip.
SCENARIO("bench_keyup", key_release) {
  EmptyField(Binary);
  // Reads Hexadecimal (rewritten last) without a pause, which would be the measure, until it shows want.
  auto until = [](const std::string& want, double t0) {
    while (Text<char>(FieldWindow(Hexadecimal)) != want && Now() - t0 < Slow(5)) continue;
    return Now() - t0;
  };
  std::vector<double> trips, times;
  for (int i = 0; i < 200; ++i) trips.push_back(until("0", Now()));  // the field shows it: one reading
  std::string typed;
  for (int k = 0; k < Setting("QV_BENCH_KEYS", 600); ++k) {
    const char* key = k / 31 % 2 ? "Back" : "1";  // 31 ones, then 31 Backspaces: every release changes the value
    typed = *key == '1' ? typed + "1" : typed.substr(0, typed.size() - 1);
    KeyDown(key);
    Expect("key down", "binary " + typed, [&](const State& s) { return s.text[Binary] == typed; });
    const std::string want = Canonical(uint32_t(strtoul(typed.c_str(), nullptr, 2)), Hexadecimal);
    const double t0 = Now();
    KeyUp(key);
    times.push_back(until(want, t0));
    Shows(Say("key %d released", k), Showing(Binary, typed));
  }
  printf("input SendInput\nkeys %zu\nmedian_ms %.3f\np99_ms %.3f\nmax_ms %.3f\ngettext_roundtrip_median_ms %.3f\n"
         "median_over_roundtrip %.1f\n", times.size(), Ms(times, 0.5), Ms(times, 0.99), Ms(times, 1), Ms(trips, 0.5),
         Ms(times, 0.5) / Ms(trips, 0.5));
}
