# Cross-compiling to a Debian architecture with Debian's cross compiler
# (g++-<triplet>) against a sysroot made by scripts/make-sysroot.sh, and
# running what was built under qemu-user. Included by armhf.cmake,
# arm64.cmake, armel.cmake and mipsel.cmake, which set ZINDLE_DEBIAN_ARCH,
# ZINDLE_CROSS_TRIPLET, ZINDLE_CROSS_PROCESSOR, ZINDLE_CROSS_QEMU and
# ZINDLE_CROSS_CXX_FLAGS (flags the target's ABI needs).
#
# The sysroot is ZINDLE_SYSROOT (default: sysroot in the build folder).
if(NOT ZINDLE_SYSROOT)
  set(ZINDLE_SYSROOT "${CMAKE_BINARY_DIR}/sysroot")
endif()
set(ZINDLE_SYSROOT "${ZINDLE_SYSROOT}" CACHE PATH "The target's sysroot (scripts/make-sysroot.sh)")
if(NOT EXISTS "${ZINDLE_SYSROOT}/usr/include/SDL/SDL.h")
  message(FATAL_ERROR "No sysroot at ${ZINDLE_SYSROOT}: run scripts/make-sysroot.sh first (make cross does)")
endif()
# The checks CMake compiles in projects of their own see the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZINDLE_SYSROOT)

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${ZINDLE_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${ZINDLE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ZINDLE_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ZINDLE_CROSS_TRIPLET})
set(CMAKE_C_FLAGS_INIT "${ZINDLE_CROSS_CXX_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${ZINDLE_CROSS_CXX_FLAGS}")
set(CMAKE_SYSROOT "${ZINDLE_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH "${ZINDLE_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the sysroot's .pc files only, and puts the sysroot before
# the paths they give.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${ZINDLE_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
  "${ZINDLE_SYSROOT}/usr/lib/${ZINDLE_CROSS_TRIPLET}/pkgconfig:${ZINDLE_SYSROOT}/usr/lib/pkgconfig:${ZINDLE_SYSROOT}/usr/share/pkgconfig")
unset(ENV{PKG_CONFIG_PATH})

# The libraries SDL pulls in are found through the sysroot's library folders.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT
    "-Wl,-rpath-link,${ZINDLE_SYSROOT}/lib/${ZINDLE_CROSS_TRIPLET} -Wl,-rpath-link,${ZINDLE_SYSROOT}/usr/lib/${ZINDLE_CROSS_TRIPLET}")
endforeach()

# Target programs run at build time (the demo module's composer), by ctest
# and by gtest_discover_tests under qemu-user, which loads their libraries
# from the sysroot.
find_program(ZINDLE_QEMU ${ZINDLE_CROSS_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${ZINDLE_QEMU};-L;${ZINDLE_SYSROOT}")
