# The engine (source/dsp) as a library of its own, morsello_dsp, which sees nothing of the
# plug-in around it: its own folder and the framework's audio basics (juce_audio_basics and the
# juce_core it stands on) are the only headers on its include path, so an include of the
# processor, the recipes, the editor or any other framework module fails to compile.
#
# The framework's objects come from morsello_framework, which compiles every module once. The
# library hands it on to whatever links the engine (INTERFACE) without using it itself, because
# its usage requirements would put every module's headers on the engine's path; the framework's
# definitions and flags are taken over one by one instead, so that the engine sees the same class
# layouts as everything else.
#
# Included from the top-level CMakeLists.txt after the warning flags and the xsimd folder.

set (MORSELLO_DSP_DIR "${PROJECT_SOURCE_DIR}/source/dsp")
file (GLOB MORSELLO_DSP_SOURCES CONFIGURE_DEPENDS "${MORSELLO_DSP_DIR}/*.cpp" "${MORSELLO_DSP_DIR}/*.h")

# The engine's headers as "dsp/...", from a folder that holds nothing else.
set (MORSELLO_DSP_INCLUDE "${CMAKE_BINARY_DIR}/dsp-include")
file (MAKE_DIRECTORY "${MORSELLO_DSP_INCLUDE}")
file (CREATE_LINK "${MORSELLO_DSP_DIR}" "${MORSELLO_DSP_INCLUDE}/dsp" SYMBOLIC)

# The two framework modules the engine may use, from a folder that holds nothing else.
get_target_property (morsello_juce_modules_dir juce::juce_core INTERFACE_INCLUDE_DIRECTORIES)
set (MORSELLO_DSP_FRAMEWORK_INCLUDE "${CMAKE_BINARY_DIR}/dsp-framework-include")
file (MAKE_DIRECTORY "${MORSELLO_DSP_FRAMEWORK_INCLUDE}")
foreach (module IN ITEMS juce_core juce_audio_basics)
    file (CREATE_LINK "${morsello_juce_modules_dir}/${module}" "${MORSELLO_DSP_FRAMEWORK_INCLUDE}/${module}" SYMBOLIC)
endforeach()

add_library (morsello_dsp STATIC ${MORSELLO_DSP_SOURCES})
set_target_properties (morsello_dsp PROPERTIES POSITION_INDEPENDENT_CODE TRUE)

target_include_directories (morsello_dsp PUBLIC "${MORSELLO_DSP_INCLUDE}")
target_include_directories (morsello_dsp SYSTEM PRIVATE "${MORSELLO_DSP_FRAMEWORK_INCLUDE}" "${CMAKE_BINARY_DIR}/xsimd-include")

target_compile_definitions (morsello_dsp PRIVATE
    $<TARGET_PROPERTY:juce::juce_core,INTERFACE_COMPILE_DEFINITIONS>
    $<TARGET_PROPERTY:juce::juce_audio_basics,INTERFACE_COMPILE_DEFINITIONS>
    $<TARGET_PROPERTY:morsello_framework,INTERFACE_COMPILE_DEFINITIONS>)
target_compile_options (morsello_dsp PRIVATE
    $<TARGET_PROPERTY:morsello_framework,INTERFACE_COMPILE_OPTIONS>
    ${MORSELLO_WARNING_FLAGS})
target_link_libraries (morsello_dsp
    PRIVATE juce::juce_recommended_config_flags
    INTERFACE morsello_framework)

target_link_libraries (Morsello PUBLIC morsello_dsp)
