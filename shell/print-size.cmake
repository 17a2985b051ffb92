# Prints the size of the executable just linked.
file(SIZE "${EXE}" bytes)
math(EXPR kib "(${bytes} + 1023) / 1024")
message(STATUS "quorvane.exe: ${bytes} bytes (${kib} KiB) at ${EXE}")
