# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 toolchain (posix threads variant).
# Extra libraries built for the target (libpng, libjpeg) are found through MORSELLO_WINDOWS_DEPS.
set (CMAKE_SYSTEM_NAME Windows)
set (CMAKE_SYSTEM_PROCESSOR x86_64)

set (MORSELLO_MINGW_TRIPLET x86_64-w64-mingw32)
set (CMAKE_C_COMPILER   ${MORSELLO_MINGW_TRIPLET}-gcc-posix)
set (CMAKE_CXX_COMPILER ${MORSELLO_MINGW_TRIPLET}-g++-posix)
set (CMAKE_RC_COMPILER  ${MORSELLO_MINGW_TRIPLET}-windres)
set (CMAKE_AR           ${MORSELLO_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set (CMAKE_RANLIB       ${MORSELLO_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Target libraries and headers come from the MinGW sysroot and the locally built dependencies;
# programs (such as the framework's prebuilt juceaide) come from the build machine.
set (CMAKE_FIND_ROOT_PATH /usr/${MORSELLO_MINGW_TRIPLET})
if (DEFINED ENV{MORSELLO_WINDOWS_DEPS})
    set (MORSELLO_WINDOWS_DEPS "$ENV{MORSELLO_WINDOWS_DEPS}" CACHE PATH "Prefix of the static MinGW libpng and libjpeg")
endif()
if (MORSELLO_WINDOWS_DEPS)
    list (APPEND CMAKE_FIND_ROOT_PATH "${MORSELLO_WINDOWS_DEPS}")
endif()
set (CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set (CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The plug-in and the test host run on machines without a MinGW runtime: the C++ runtime, libgcc
# and winpthread are linked into each binary.
set (CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set (CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set (CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Debian installs the framework's package file under the build machine's multiarch folder,
# which a search for Windows packages does not look into.
if (NOT JUCE_DIR)
    file (GLOB MORSELLO_HOST_JUCE_DIRS "/usr/lib/*/cmake/JUCE-7.0.5")
    if (MORSELLO_HOST_JUCE_DIRS)
        list (GET MORSELLO_HOST_JUCE_DIRS 0 MORSELLO_HOST_JUCE_DIR)
        set (JUCE_DIR "${MORSELLO_HOST_JUCE_DIR}" CACHE PATH "The framework's CMake package folder")
    endif()
endif()
