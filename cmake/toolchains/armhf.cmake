# Debian armhf: ARMv7, hard float. See debian-cross.cmake.
set(ZINDLE_CROSS_TRIPLET arm-linux-gnueabihf)
set(ZINDLE_CROSS_PROCESSOR armv7l)
set(ZINDLE_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
