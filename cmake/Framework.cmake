# The framework's modules, compiled once per build folder into one static library that every
# target of the project links: the plug-in's code and its formats, the test hosts, the tools, the
# benchmark, the tests and the fuzzers. A target that linked a module itself would compile that
# module's sources again (the framework's modules are interface libraries that hand their sources
# to whoever links them), so only this library links them.
#
# morsello_add_framework_library (<name> PLUGIN <plug-in target> [DEFINITIONS <definition>...])
#
# The modules are compiled with the plug-in's own definitions (its name and formats: the JACK
# client name, the accessibility application name and the standalone window read them), exactly
# as when they were compiled inside the plug-in's library. DEFINITIONS are the framework's
# settings, public so that every consumer sees the same class layouts.
#
# One configuration serves the plug-in and the test hosts, so it carries what the hosts need:
# VST3 hosting (the plug-in never creates a host format; the plug-in's VST3 wrapper then takes the
# VST3 SDK's implementation from this library instead of compiling its own) and modal loops (the
# hosts pump messages with runDispatchLoopUntil). Modal loops only add synchronous variants of
# functions; the plug-in's own code uses the asynchronous ones, which tests/check_includes.sh
# holds.
# Modules whose sources take MORSELLO_UNWATCHED_MODULE_OPTIONS after the build's own flags. The
# fuzz build (scripts/fuzz.sh) compiles the modules its inputs never reach (windows, drawing,
# audio devices and files) without sanitizers or coverage: their instrumented compile was most of
# that build's time and watched nothing.
set (MORSELLO_UNWATCHED_MODULES "" CACHE STRING "Framework modules compiled with MORSELLO_UNWATCHED_MODULE_OPTIONS")
set (MORSELLO_UNWATCHED_MODULE_OPTIONS "" CACHE STRING "Compiler flags for the MORSELLO_UNWATCHED_MODULES")

function (morsello_add_framework_library name)
    cmake_parse_arguments (ARG "" "PLUGIN" "DEFINITIONS" ${ARGN})

    add_library (${name} STATIC)
    # The flags the folder gives every target (MORSELLO_INSTRUMENTATION, the sanitizer build's)
    # stay off the framework's sources: they compile exactly as in the ordinary build.
    set_property (TARGET ${name} PROPERTY COMPILE_OPTIONS "")
    target_link_libraries (${name}
        PRIVATE
            juce::juce_audio_utils
            juce::juce_audio_processors
            juce::juce_gui_basics
        PUBLIC
            juce::juce_recommended_config_flags)

    # Debian's framework decodes pictures with the system's libpng and libjpeg, which its own
    # targets link; the library that holds the image code links them for its consumers.
    if (TARGET juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
        target_link_libraries (${name} PUBLIC juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
    endif()

    get_target_property (plugin_definitions ${ARG_PLUGIN} COMPILE_DEFINITIONS)
    target_compile_definitions (${name}
        PRIVATE ${plugin_definitions}
        PUBLIC ${ARG_DEFINITIONS})

    # What consumers need to include the modules' headers: their folders and the definitions the
    # modules export (which modules are available, the global settings flag), without the
    # plug-in's own, which the plug-in's targets set for themselves.
    target_include_directories (${name} INTERFACE $<TARGET_PROPERTY:${name},INCLUDE_DIRECTORIES>)
    target_compile_definitions (${name} INTERFACE
        $<FILTER:$<TARGET_PROPERTY:${name},COMPILE_DEFINITIONS>,EXCLUDE,JucePlugin_|JUCE_SHARED_CODE|JUCE_STANDALONE_APPLICATION>)

    foreach (module IN LISTS MORSELLO_UNWATCHED_MODULES)
        get_target_property (module_sources ${module} INTERFACE_SOURCES)
        set_source_files_properties (${module_sources} PROPERTIES COMPILE_OPTIONS "${MORSELLO_UNWATCHED_MODULE_OPTIONS}")
    endforeach()

    set_target_properties (${name} PROPERTIES
        POSITION_INDEPENDENT_CODE TRUE
        VISIBILITY_INLINES_HIDDEN TRUE
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden)
endfunction()
