# Debian armel: ARMv5TE, soft float (older handhelds). See debian-cross.cmake.
set(ZINDLE_CROSS_TRIPLET arm-linux-gnueabi)
set(ZINDLE_CROSS_PROCESSOR armv5tel)
set(ZINDLE_CROSS_QEMU qemu-arm)
# 64-bit file offsets, as on armhf (see armhf.cmake).
set(ZINDLE_CROSS_CXX_FLAGS "-D_FILE_OFFSET_BITS=64")
set(ZINDLE_DEBIAN_ARCH armel)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
