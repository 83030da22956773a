# Debian arm64: AArch64. See debian-cross.cmake.
set(ZINDLE_CROSS_TRIPLET aarch64-linux-gnu)
set(ZINDLE_CROSS_PROCESSOR aarch64)
set(ZINDLE_CROSS_QEMU qemu-aarch64)
set(ZINDLE_DEBIAN_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
