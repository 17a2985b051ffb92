// The groups, in the order --all runs them: driver.cpp includes this list (what a variant needs and runs again is its
// row there), and CMake reads the names for the CTest tests. The last two are tools, run where asked for.
"start", "typing", "filtering", "keys", "overflow", "paste", "edits", "mouse", "painting", "quit", "soak", "contrast",
"cp1252", "cp1252_nofontmap", "dpi144", "dpi120", "dpi192", "dpi144_unaware", "contrast_black", "small_screen",
"wide_system_font", "bench_keyup", "pictures",
