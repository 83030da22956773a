# Debian mipsel: 32-bit MIPS (o32), little endian. See debian-cross.cmake.
set(ZINDLE_CROSS_TRIPLET mipsel-linux-gnu)
set(ZINDLE_CROSS_PROCESSOR mips)
set(ZINDLE_CROSS_QEMU qemu-mipsel)
# 64-bit file offsets, as on armhf (see armhf.cmake).
set(ZINDLE_CROSS_CXX_FLAGS "-D_FILE_OFFSET_BITS=64")
set(ZINDLE_DEBIAN_ARCH mipsel)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
