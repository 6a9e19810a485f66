# The high quality mode's measurement: morsello_alias (tools/alias) renders sines through every
# nonlinear stage in both qualities and reports harmonics and aliases (docs/performance.md). Its
# analysis header also serves the unit test that holds "high" to those figures, which runs in
# morsello_tests on the radix-2 transform (the tool alone links FFTW).
#
# Included from the top-level CMakeLists.txt after the tools and the tests.

add_executable (morsello_alias "${PROJECT_SOURCE_DIR}/tools/alias/AliasMain.cpp")
morsello_use_plugin_library (morsello_alias)
target_include_directories (morsello_alias PRIVATE "${PROJECT_SOURCE_DIR}/tools/pictures")
find_package (PkgConfig REQUIRED)
pkg_check_modules (FFTW3 REQUIRED IMPORTED_TARGET fftw3)
target_link_libraries (morsello_alias PRIVATE PkgConfig::FFTW3 juce::juce_recommended_warning_flags)

if (TARGET morsello_tests)
    target_include_directories (morsello_tests PRIVATE "${PROJECT_SOURCE_DIR}/tools/alias")
endif()
