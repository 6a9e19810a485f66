# The framework's plug-in client (its format wrappers) as the Linux plug-in formats compile it:
# a copy of the module in the build tree with the patches in cmake/patches/ applied. The system's
# files are never changed, and the repository holds only the patches.
#
#     morsello_use_patched_plugin_client (<plug-in target>)
#
# Call once, after juce_add_plugin. The plug-in's VST3 and LV2 targets then compile the patched
# copy instead of the system's module: their wrapper sources are taken from the copy, and the
# copy's folder comes first in their include path (the wrappers include some of their own files
# by module path). Sets MORSELLO_PATCHED_PLUGIN_CLIENT_DIR to the copy's folder (the parent of
# juce_audio_plugin_client/) for tests that compile the patched files.
#
# The copy is made and patched at configure time, again whenever a patch or a patched framework
# file changes; a patch that does not apply exactly (with no fuzz) stops the configure step,
# and with it the build, naming the file.
#
# The patches and why they exist: cmake/patches/*.patch (each starts with its reason) and
# docs/performance.md (when each can go).

set (MORSELLO_PLUGIN_CLIENT_PATCHES
    "${CMAKE_CURRENT_LIST_DIR}/patches/plugin-client-message-thread-waits.patch")

function (morsello_use_patched_plugin_client plugin_target)
    # Only the Linux message thread is patched; other systems build the framework as it is.
    if (NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
        return()
    endif()

    get_target_property (modules_dir juce::juce_audio_plugin_client INTERFACE_JUCE_MODULE_PATH)
    set (module "${modules_dir}/juce_audio_plugin_client")
    set (copy_dir "${CMAKE_BINARY_DIR}/patched-framework")
    set (copy "${copy_dir}/juce_audio_plugin_client")

    if (NOT EXISTS "${module}/juce_audio_plugin_client.h")
        message (FATAL_ERROR "The framework's plug-in client module is not at ${module}.")
    endif()

    find_program (MORSELLO_PATCH_PROGRAM patch REQUIRED)

    file (REMOVE_RECURSE "${copy_dir}")
    file (MAKE_DIRECTORY "${copy_dir}")
    file (COPY "${module}" DESTINATION "${copy_dir}")

    foreach (patch_file IN LISTS MORSELLO_PLUGIN_CLIENT_PATCHES)
        # Tried first, so that a failure leaves no half-patched copy behind it.
        execute_process (
            COMMAND "${MORSELLO_PATCH_PROGRAM}" --dry-run --forward --fuzz=0 --batch --no-backup-if-mismatch
                    -p1 -d "${copy_dir}" -i "${patch_file}"
            RESULT_VARIABLE result
            OUTPUT_VARIABLE output
            ERROR_VARIABLE output)

        if (NOT result EQUAL 0)
            file (REMOVE_RECURSE "${copy}")
            message (FATAL_ERROR
                "The framework patch ${patch_file} does not apply cleanly to ${module}: the framework "
                "files it changes are not the ones it was made for (the framework package was "
                "updated?). See the patch's own text and docs/performance.md for what it does and "
                "whether the new framework still needs it; remake or remove it.\n${output}")
        endif()

        execute_process (
            COMMAND "${MORSELLO_PATCH_PROGRAM}" --forward --fuzz=0 --batch --no-backup-if-mismatch --quiet
                    -p1 -d "${copy_dir}" -i "${patch_file}"
            RESULT_VARIABLE result
            OUTPUT_VARIABLE output
            ERROR_VARIABLE output)

        if (NOT result EQUAL 0)
            message (FATAL_ERROR "Applying ${patch_file} to the copy in ${copy_dir} failed:\n${output}")
        endif()

        # The framework files the patch names, so that a changed one re-runs this check.
        file (STRINGS "${patch_file}" patched_names REGEX "^--- a/")
        list (TRANSFORM patched_names REPLACE "^--- a/([^\t\r]*).*$" "${modules_dir}/\\1")
        set_property (DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                      "${patch_file}" ${patched_names})
    endforeach()

    # The patched message thread includes the event loop's internal interface, which the VST3
    # wrapper also includes and which has no include guard. Both reach it by module path, so a
    # guarded file at that path in the copy's folder (first in the include path) stands in for it.
    set (event_loop_internal "juce_events/native/juce_linux_EventLoopInternal.h")
    file (WRITE "${copy_dir}/${event_loop_internal}"
          "// Made by cmake/PatchedPluginClient.cmake: the framework's file, included once.\n"
          "#pragma once\n"
          "#include \"${modules_dir}/${event_loop_internal}\"\n")

    foreach (kind IN ITEMS VST3 LV2)
        if (NOT TARGET ${plugin_target}_${kind})
            continue()
        endif()

        # The framework's wrapper target for the format hands its sources to the format's target;
        # they are swapped for the same files in the copy.
        get_target_property (wrapper juce::juce_audio_plugin_client_${kind} ALIASED_TARGET)
        get_target_property (sources ${wrapper} INTERFACE_SOURCES)
        list (TRANSFORM sources REPLACE "^${module}/" "${copy}/")
        set_property (TARGET ${wrapper} PROPERTY INTERFACE_SOURCES ${sources})

        target_include_directories (${plugin_target}_${kind} BEFORE PRIVATE "${copy_dir}")
    endforeach()

    set (MORSELLO_PATCHED_PLUGIN_CLIENT_DIR "${copy_dir}" PARENT_SCOPE)
endfunction()
