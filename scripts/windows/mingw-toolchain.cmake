# Cross toolchain: Debian's mingw-w64 (posix threads variant), 64-bit Windows target. Used for Qt itself,
# GoogleTest and the tool, so that all three agree on the runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLET}-windres)
set(CMAKE_AR           /usr/bin/${MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries come from the mingw sysroot, packages also from CMAKE_PREFIX_PATH (Qt and
# GoogleTest for MinGW), so that a re-run of CMake by the build finds them too; programs are found on the
# host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Programs built for the target run under Wine (try_run, gtest discovery, CTest). The test script puts a
# wrapper here that adds a time limit and the prefix; plain wine64 is the default.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()

# Executables carry the MinGW runtime (libstdc++, libgcc, winpthread) instead of needing its DLLs beside
# them. Qt's static targets leave the linker in -Bdynamic mode, which would pick the runtime's import
# libraries for the libraries g++ adds last; -Bstatic before them picks the archives (the Windows system
# libraries are import archives either way).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CXX_STANDARD_LIBRARIES "-Wl,-Bstatic -lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32"
    CACHE STRING "Libraries linked into every C++ executable and shared library")
