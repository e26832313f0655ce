# Raspberry Pi OS 64-bit (Debian 12, arm64): Debian's cross compiler against the multiarch
# -dev packages (libmosquitto-dev:arm64, ...), which live beside the host's own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# pkg-config must see the arm64 .pc files only (and the arch-independent ones).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# No -L /usr/aarch64-linux-gnu: its loader (the cross libc6) does not match the libc6:arm64
# beside it in /lib/aarch64-linux-gnu, and threads hang on that mix. The multiarch
# loader and libraries sit at their own arm64 paths.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
