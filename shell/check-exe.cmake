# Run after each link: prints the executable's size and fails the build when
# its headers are not what the program needs to start. The section layout
# comes from quorvane.ld, so the import directory is checked here rather than
# found missing on a machine that cannot run the 32-bit build.
#   cmake -DEXE=<quorvane.exe> -DOBJDUMP=<objdump> -P check-exe.cmake
file(SIZE "${EXE}" bytes)
math(EXPR kib "(${bytes} + 1023) / 1024")
message(STATUS "quorvane.exe: ${bytes} bytes (${kib} KiB) at ${EXE}")

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${EXE}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]*" dlls "${headers}")
list(SORT dlls)
if(NOT dlls STREQUAL "DLL Name: GDI32.dll;DLL Name: KERNEL32.dll;DLL Name: USER32.dll")
  message(FATAL_ERROR "${EXE} imports from: ${dlls}")
endif()
# The display-scale calls are looked up by name at run time: imported, they
# would keep the file from starting on a Windows that lacks them.
string(REGEX MATCH "\n\t[0-9a-f]+\t +[0-9]+  [A-Za-z]*(Dpi|DPI)[A-Za-z]*" dpi_import "${headers}")
if(dpi_import)
  message(FATAL_ERROR "${EXE} imports a display-scale function:${dpi_import}")
endif()
# Nor is any library loaded by name: a bare name is searched for in the
# program's own folder first, where a planted DLL would run inside it.
string(REGEX MATCH "\n\t[0-9a-f]+\t +[0-9]+  LoadLibrary[A-Za-z]*" load_import "${headers}")
if(load_import)
  message(FATAL_ERROR "${EXE} imports a library loader:${load_import}")
endif()
if(NOT headers MATCHES "Subsystem[ \t]+00000002")
  message(FATAL_ERROR "${EXE} is not a GUI-subsystem program")
endif()
if(headers MATCHES "Entry 1 0+ [0-9a-f]+ Import Directory"
   OR headers MATCHES "Entry c 0+ [0-9a-f]+ Import Address Table Directory")
  message(FATAL_ERROR "${EXE} has no import directory")
endif()
if(headers MATCHES "Entry 2 0+ [0-9a-f]+ Resource Directory")
  message(FATAL_ERROR "${EXE} has no resources")
endif()

# Loaded at a random address (ASLR), which needs the relocations that let
# the loader move the image: a system whose exploit protection forces ASLR
# refuses an image without them. Data never executes (NX). On x64 the
# address comes from the whole 64-bit space (high-entropy).
set(wanted_flags 0x140)  # DYNAMIC_BASE | NX_COMPAT
if(headers MATCHES "Magic[ \t]+020b")
  set(wanted_flags 0x160)  # and HIGH_ENTROPY_VA
endif()
if(NOT headers MATCHES "DllCharacteristics[ \t]+([0-9a-f]+)")
  message(FATAL_ERROR "${EXE} has no DllCharacteristics")
endif()
math(EXPR missing_flags "${wanted_flags} ^ (${wanted_flags} & 0x${CMAKE_MATCH_1})"
  OUTPUT_FORMAT HEXADECIMAL)
if(NOT missing_flags EQUAL 0)
  message(FATAL_ERROR "${EXE} lacks DllCharacteristics ${missing_flags} of ${wanted_flags} (has 0x${CMAKE_MATCH_1})")
endif()
if(headers MATCHES "Entry 5 0+ [0-9a-f]+ Base Relocation Directory"
   OR headers MATCHES "\n\trelocations stripped\n")
  message(FATAL_ERROR "${EXE} has no relocation directory, so it cannot be moved")
endif()

# The three resources the program loads, and nothing else: the group icon
# 61439 with its one image, the background bitmap 61184 and the accelerator
# table 3333 with its one Ctrl+S entry, all in US English. A missing one would
# show only at run time (no icon, no skin, or the empty box of a failed
# accelerator load).
if(NOT WINDRES)
  string(REPLACE "objdump" "windres" WINDRES "${OBJDUMP}")
endif()
execute_process(COMMAND "${WINDRES}" -i "${EXE}" -J coff -O rc
  OUTPUT_VARIABLE resources RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${WINDRES} cannot read the resources of ${EXE}")
endif()
string(REGEX MATCHALL "\n[0-9]+ [0-9A-Z]+[^\n]*" entries "${resources}")
string(REGEX MATCHALL "LANGUAGE [0-9]+, [0-9]+" languages "${resources}")
list(REMOVE_DUPLICATES languages)
if(NOT entries STREQUAL "\n61184 2 /* RT_BITMAP */;\n1 3 /* RT_ICON */;\n3333 ACCELERATORS;\n61439 14 /* RT_GROUP_ICON */"
   OR NOT resources MATCHES "3333 ACCELERATORS\nBEGIN\n  83, 997, VIRTKEY, CONTROL\nEND"
   OR NOT languages STREQUAL "LANGUAGE 9, 1")
  message(FATAL_ERROR "${EXE} does not hold exactly its icon, bitmap and accelerators in US English: ${entries} ${languages}")
endif()

if(headers MATCHES "Magic[ \t]+020b")
  # x64 Windows unwinds a stack only through the exception directory.
  if(headers MATCHES "Entry 3 0+ [0-9a-f]+ Exception Directory")
    message(FATAL_ERROR "${EXE} has no exception directory (unwind tables)")
  endif()
elseif(bytes GREATER 16384)
  # 14 KiB until the image took the relocations that ASLR needs.
  message(FATAL_ERROR "${EXE} is ${bytes} bytes; the 32-bit product must fit in 16 KiB")
endif()
