# Cross-compiling for 64-bit ARM Linux with Debian's cross g++; zlib and GoogleTest come
# from Debian's arm64 multiarch packages (in /usr/lib/aarch64-linux-gnu).
#
# The programs are linked statically and run under qemu-user as they are. Linked
# dynamically they would need the cross toolchain's loader (-L /usr/aarch64-linux-gnu),
# which then loads the multiarch C library that zlib's package brings: two builds of
# glibc in one process, which hangs at the first thread.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
