# The Windows (MinGW-w64) build of the plug-in, included from the top-level CMakeLists.txt.
#
# Debian's framework is packaged without its bundled zlib, libpng and libjpeg, so the image
# loaders include the system headers; here those libraries come from the MinGW sysroot (zlib)
# and from static builds made by scripts/build-windows.sh (libpng, libjpeg).

# Static archives only: MinGW's zlib also comes as a DLL, which the plug-in must not need.
set (CMAKE_FIND_LIBRARY_SUFFIXES .a)
find_package (ZLIB REQUIRED)
find_package (PNG REQUIRED)
find_package (JPEG REQUIRED)

# The framework's image loaders include their headers, so the framework's library takes them.
target_link_libraries (morsello_framework PUBLIC PNG::PNG JPEG::JPEG ZLIB::ZLIB)

# A plug-in DLL that needs nothing but Windows' own DLLs: the GCC runtime, the C++ library and
# winpthread are linked in statically (see also the toolchain file's -static).
# Its symbol table is left out (-s): it only makes the DLL larger.
target_link_options (Morsello_VST3 PRIVATE -static -static-libgcc -static-libstdc++ -s)

if (MORSELLO_BUILD_TESTS)
    add_subdirectory (tests/windows)
endif()
