# Debian armhf: ARMv7, hard float. See debian-cross.cmake.
set(ZINDLE_CROSS_TRIPLET arm-linux-gnueabihf)
set(ZINDLE_CROSS_PROCESSOR armv7l)
set(ZINDLE_CROSS_QEMU qemu-arm)
# 64-bit file offsets and sizes, as on 64-bit systems: without them a 32-bit
# readdir fails on directory offsets past 2^31, which ext4 gives 32-bit
# programs under qemu on a 64-bit kernel (and file systems with 64-bit inode
# numbers give them anywhere), and files stop at 2 GiB.
set(ZINDLE_CROSS_CXX_FLAGS "-D_FILE_OFFSET_BITS=64")
set(ZINDLE_DEBIAN_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
