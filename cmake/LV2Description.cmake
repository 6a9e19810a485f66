# Corrections to the LV2 description that the framework's helper writes into the bundle.
#
# The framework's LV2 target runs its helper (juce_lv2_helper) after linking; the helper loads
# the plug-in and writes manifest.ttl and dsp.ttl beside it. A few things it writes mislead LV2
# hosts (see CorrectLV2Description.cmake for each one and why). This adds a second step after
# the helper's, on the same target, so every time the bundle is rewritten it is corrected again.
# POST_BUILD commands of one target run in the order they were added, and the helper's is added
# inside juce_add_plugin, so this must be called after juce_add_plugin (and before
# juce_enable_copy_plugin_step, should the build ever copy the bundle itself).
#
# Only the two text files are edited; the plug-in's library in the bundle is left as linked.
# When the framework writes these points right, remove the call and both files in this folder.

set (MORSELLO_LV2_CORRECTION_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/CorrectLV2Description.cmake")

# morsello_correct_lv2_description (<plug-in target> CLASS <class> DESCRIPTION <sentence>
#                                   PRESET_COMMENT <text>)
# <plug-in target> is the shared-code target given to juce_add_plugin; its <target>_LV2
# format target gets the step.
function (morsello_correct_lv2_description target)
    cmake_parse_arguments (ARG "" "CLASS;DESCRIPTION;PRESET_COMMENT" "" ${ARGN})

    foreach (required IN ITEMS CLASS DESCRIPTION PRESET_COMMENT)
        if (NOT ARG_${required})
            message (FATAL_ERROR "morsello_correct_lv2_description: ${required} is required")
        endif()
    endforeach()

    set (lv2_target "${target}_LV2")
    if (NOT TARGET "${lv2_target}")
        message (FATAL_ERROR "morsello_correct_lv2_description: no target ${lv2_target}; "
                             "call it after juce_add_plugin with the LV2 format")
    endif()

    # The bundle folder is where the framework puts the library, and so the manifest.
    add_custom_command (TARGET "${lv2_target}" POST_BUILD
        COMMAND "${CMAKE_COMMAND}"
            "-DBUNDLE=$<TARGET_FILE_DIR:${lv2_target}>"
            "-DPLUGIN_CLASS=${ARG_CLASS}"
            "-DDESCRIPTION=${ARG_DESCRIPTION}"
            "-DPRESET_COMMENT=${ARG_PRESET_COMMENT}"
            -P "${MORSELLO_LV2_CORRECTION_SCRIPT}"
        COMMENT "Correcting the LV2 description in $<TARGET_FILE_DIR:${lv2_target}>"
        VERBATIM)

    # A changed correction must rewrite the bundle, so the target relinks when the script does.
    set_property (TARGET "${lv2_target}" APPEND PROPERTY LINK_DEPENDS "${MORSELLO_LV2_CORRECTION_SCRIPT}")
endfunction()
