# Corrects the LV2 description (manifest.ttl and dsp.ttl) that the framework's helper writes
# into the plug-in's bundle, so that LV2 hosts show and drive the plug-in as it is.
#
#   cmake -DBUNDLE=<bundle folder> -DPLUGIN_CLASS=<lv2 class, e.g. lv2:DelayPlugin>
#         -DDESCRIPTION=<one sentence> -DPRESET_COMMENT=<text> -P CorrectLV2Description.cmake
#
# Each correction below says what the helper writes, what a host does with it and why it is
# changed. Every one expects the helper's text as the framework's version 7.0.5 writes it and
# stops the build with a message when that text is missing, so a framework update that changes
# it is noticed here; a correction whose framework counterpart has become right can then be
# deleted (and the whole step, in LV2Description.cmake, once none is left).
#
# The step is deterministic and idempotent: it only rewrites a file whose text changes, and a
# corrected bundle is left exactly as it is. The plug-in's library is never opened.

cmake_minimum_required (VERSION 3.22)

foreach (required IN ITEMS BUNDLE PLUGIN_CLASS DESCRIPTION PRESET_COMMENT)
    if (NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
        message (FATAL_ERROR "CorrectLV2Description: -D${required}=... is required")
    endif()
endforeach()

# The two texts become Turtle string literals; keeping quotes and backslashes out of them means
# they need no escaping.
foreach (literal IN ITEMS DESCRIPTION PRESET_COMMENT)
    if ("${${literal}}" MATCHES "[\"\\\\\n]")
        message (FATAL_ERROR "CorrectLV2Description: ${literal} must not contain quotes, backslashes or line breaks")
    endif()
endforeach()

function (fail what)
    message (FATAL_ERROR
        "CorrectLV2Description: ${what}\n"
        "The framework's LV2 helper no longer writes the text this step corrects. Check the new "
        "files in ${BUNDLE}: if the framework now writes this point right, drop the correction "
        "from cmake/CorrectLV2Description.cmake; otherwise adapt it to the new text.")
endfunction()

# Number of non-overlapping occurrences of `needle` in `text`.
function (count_occurrences text needle out)
    set (count 0)
    string (LENGTH "${needle}" needle_length)
    string (FIND "${text}" "${needle}" at)
    while (at GREATER_EQUAL 0)
        math (EXPR count "${count} + 1")
        math (EXPR next "${at} + ${needle_length}")
        string (SUBSTRING "${text}" ${next} -1 text)
        string (FIND "${text}" "${needle}" at)
    endwhile()
    set (${out} ${count} PARENT_SCOPE)
endfunction()

# A decimal number as written by the helper ("0", "1", "0.5", "0.0833333"), as an integer in
# units of 1e-7. Anything else (a sign, an exponent) is not what the helper writes.
function (decimal_to_units number out)
    if (NOT number MATCHES "^([0-9]+)(\\.([0-9]+))?$")
        fail ("unexpected scale point value \"${number}\"")
    endif()
    set (whole "${CMAKE_MATCH_1}")
    set (fraction "${CMAKE_MATCH_3}0000000")
    string (SUBSTRING "${fraction}" 0 7 fraction)
    string (REGEX REPLACE "^0+([0-9])" "\\1" fraction "${fraction}")
    math (EXPR units "${whole} * 10000000 + ${fraction}")
    set (${out} ${units} PARENT_SCOPE)
endfunction()

function (write_if_changed file old new)
    if (NOT "${old}" STREQUAL "${new}")
        file (WRITE "${file}" "${new}")
    endif()
endfunction()

set (dsp_file "${BUNDLE}/dsp.ttl")
set (manifest_file "${BUNDLE}/manifest.ttl")
foreach (file IN ITEMS "${dsp_file}" "${manifest_file}")
    if (NOT EXISTS "${file}")
        fail ("${file} does not exist")
    endif()
endforeach()

file (READ "${dsp_file}" dsp_original)
file (READ "${manifest_file}" manifest_original)
set (dsp "${dsp_original}")
set (manifest "${manifest_original}")

# --- Class -------------------------------------------------------------------------------------
# The helper declares an effect only as "a lv2:Plugin" (it knows just the instrument class), so
# hosts list the plug-in without a category. It is an audio effect (the VST3 build says "Fx"),
# so the given class is added beside lv2:Plugin in the plug-in's description.
# Drop when the framework writes a class for effects.
set (class_before "\ta lv2:Plugin ;\n")
set (class_after "\ta lv2:Plugin , ${PLUGIN_CLASS} ;\n")
count_occurrences ("${dsp}" "${class_after}" corrected)
if (corrected EQUAL 0)
    count_occurrences ("${dsp}" "${class_before}" found)
    if (NOT found EQUAL 1)
        fail ("dsp.ttl: expected one \"a lv2:Plugin ;\" line for the plug-in, found ${found}")
    endif()
    string (REPLACE "${class_before}" "${class_after}" dsp "${dsp}")
endif()

# --- Description -------------------------------------------------------------------------------
# The helper writes the plug-in's name as its doap:description, which hosts show as the text
# that says what the plug-in does. It gets the sentence given here.
# Drop when the framework writes one. (DESCRIPTION in juce_add_plugin would set it too, but as a
# definition on every file of the shared code, all of which would then compile again.)
count_occurrences ("${dsp}" "\tdoap:description \"" found)
if (NOT found EQUAL 1)
    fail ("dsp.ttl: expected one doap:description, found ${found}")
endif()
string (REGEX REPLACE "\tdoap:description \"[^\"\n]*\" ;\n" "\tdoap:description \"${DESCRIPTION}\" ;\n"
        dsp "${dsp}")
count_occurrences ("${dsp}" "\tdoap:description \"${DESCRIPTION}\" ;\n" found)
if (NOT found EQUAL 1)
    fail ("dsp.ttl: the doap:description line is not of the form \"\\tdoap:description \\\"...\\\" ;\"")
endif()

# --- Maintainer's e-mail -----------------------------------------------------------------------
# The helper writes the bare address as foaf:mbox's URI. A URI without a scheme is relative to
# the file, so lilv (and every host on it) reads the address as a file inside the bundle. A
# mailbox is a mailto: URI. Drop when the framework writes the mailto: scheme.
if (NOT dsp MATCHES "\t\tfoaf:mbox <mailto:[^>\n]+> ;\n")
    if (NOT dsp MATCHES "\t\tfoaf:mbox <([^:>\n]+@[^:>\n]+)> ;\n")
        fail ("dsp.ttl: no foaf:mbox line with a bare e-mail address")
    endif()
    string (REPLACE "\t\tfoaf:mbox <${CMAKE_MATCH_1}> ;\n" "\t\tfoaf:mbox <mailto:${CMAKE_MATCH_1}> ;\n"
            dsp "${dsp}")
endif()

# --- Scale points of the choice parameters -----------------------------------------------------
# The framework's LV2 wrapper takes a parameter's value in its plain range (lv2:minimum to
# lv2:maximum: a choice's index), and the helper writes that range, but it writes the scale
# points' rdf:value as normalised values (index / (count - 1)). A host that offers the scale
# points as a menu sends, say, 0.75 for the tenth of thirteen kinds, which the plug-in reads
# as index 0.75 and rounds to the second. Each scale point's value becomes its index, which is
# its position in the list (the helper writes them in index order); the range is checked to
# be 0 to count - 1, so that the indices are the values the plug-in selects them by.
# Drop when the framework maps the scale points onto the parameter's range.
set (corrected_dsp "")
set (rest "${dsp}")
set (scale_point_lists 0)
while (TRUE)
    string (FIND "${rest}" "\tlv2:scalePoint " at)
    if (at LESS 0)
        string (APPEND corrected_dsp "${rest}")
        break()
    endif()
    math (EXPR scale_point_lists "${scale_point_lists} + 1")

    # The parameter's own lines, from its subject (after the previous blank line) up to here.
    string (SUBSTRING "${rest}" 0 ${at} head)
    string (FIND "${head}" "\n\n" subject_at REVERSE)
    string (SUBSTRING "${head}" ${subject_at} -1 subject_lines)
    string (REGEX MATCH "\n(plug:[^\n]*)\n" subject "${subject_lines}")
    set (subject "${CMAKE_MATCH_1}")
    foreach (bound IN ITEMS minimum maximum default)
        if (NOT subject_lines MATCHES "\tlv2:${bound} ([0-9]+)[\t ]*;")
            fail ("dsp.ttl: ${subject} has scale points but no whole-number lv2:${bound}")
        endif()
        set (${bound} "${CMAKE_MATCH_1}")
    endforeach()

    # The list runs to the "] ." that ends the parameter's description.
    string (SUBSTRING "${rest}" 0 ${at} before)
    string (SUBSTRING "${rest}" ${at} -1 rest)
    string (FIND "${rest}" "] .\n" end_at)
    if (end_at LESS 0)
        fail ("dsp.ttl: the scale points of ${subject} do not end in \"] .\"")
    endif()
    string (SUBSTRING "${rest}" 0 ${end_at} list)
    string (SUBSTRING "${rest}" ${end_at} -1 rest)

    # Split the list into its rdf:value numbers and the text around them.
    set (pieces "")
    set (values "")
    set (count 0)
    while (TRUE)
        if (NOT list MATCHES "^(.*)\n\t\trdf:value ([^ \n]+) ;\n(.*)$")
            break()
        endif()
        # The greedy match takes the last value first.
        set (list "${CMAKE_MATCH_1}")
        set (value_${count} "${CMAKE_MATCH_2}")
        set (after_${count} "\n\t\trdf:value @VALUE@ ;\n${CMAKE_MATCH_3}")
        math (EXPR count "${count} + 1")
    endwhile()
    set (list_start "${list}")

    if (count LESS 2)
        fail ("dsp.ttl: ${subject} has fewer than two scale points with an rdf:value")
    endif()
    math (EXPR last_index "${count} - 1")
    if (NOT minimum EQUAL 0 OR NOT maximum EQUAL last_index OR default GREATER last_index)
        fail ("dsp.ttl: ${subject} has ${count} scale points but the range ${minimum} to ${maximum} "
              "(default ${default}); expected 0 to ${last_index}")
    endif()

    # The values were collected from the last to the first: position p in the list is
    # (count - 1 - collected index). They must all be the indices already (a corrected file)
    # or all the normalised values the helper writes.
    set (all_indices TRUE)
    set (all_normalised TRUE)
    foreach (collected RANGE ${last_index})
        math (EXPR position "${last_index} - ${collected}")
        if (NOT "${value_${collected}}" STREQUAL "${position}")
            set (all_indices FALSE)
        endif()
        decimal_to_units ("${value_${collected}}" units)
        # |value * (count - 1) - position| within 1e-5 per step: the helper prints six digits.
        math (EXPR error "${units} * ${last_index} - ${position} * 10000000")
        if (error LESS 0)
            math (EXPR error "-${error}")
        endif()
        math (EXPR tolerance "100 * ${last_index}")
        if (error GREATER tolerance)
            set (all_normalised FALSE)
        endif()
    endforeach()
    if (NOT all_indices AND NOT all_normalised)
        fail ("dsp.ttl: the scale points of ${subject} are neither indices nor index / ${last_index}")
    endif()

    set (corrected_list "${list_start}")
    foreach (position RANGE ${last_index})
        math (EXPR collected "${last_index} - ${position}")
        string (REPLACE "@VALUE@" "${position}" piece "${after_${collected}}")
        string (APPEND corrected_list "${piece}")
    endforeach()
    string (APPEND corrected_dsp "${before}${corrected_list}")
endwhile()
if (scale_point_lists EQUAL 0)
    fail ("dsp.ttl: no parameter has scale points")
endif()
set (dsp "${corrected_dsp}")

# --- Factory presets ---------------------------------------------------------------------------
# The helper writes each of the plug-in's programs as a preset in manifest.ttl with a label only.
# LV2 has no property that marks a preset as the plug-in's own; hosts infer it. Ardour files a
# preset with an rdfs:comment as a factory preset and every other one as the user's, which the
# user may then overwrite or delete (and deleting one through lilv edits this bundle's
# manifest). Each preset gets the comment given here, after its label.
# Drop when the framework marks its presets as the plug-in's own.
count_occurrences ("${manifest}" "\ta pset:Preset ;\n" presets)
if (presets EQUAL 0)
    fail ("manifest.ttl: no presets (\"a pset:Preset\")")
endif()
string (REGEX REPLACE
    "(\ta pset:Preset ;\n\tlv2:appliesTo <[^>\n]*> ;\n\trdfs:label \"[^\"\n]*\" ;\n)(\tstate:state )"
    "\\1\trdfs:comment \"${PRESET_COMMENT}\" ;\n\\2"
    manifest "${manifest}")
count_occurrences ("${manifest}" "\trdfs:comment \"${PRESET_COMMENT}\" ;\n" commented)
count_occurrences ("${manifest}" "\trdfs:comment " comments)
if (NOT commented EQUAL presets OR NOT comments EQUAL presets)
    fail ("manifest.ttl: ${presets} presets but ${commented} of them carry the comment (${comments} comments in all); "
          "expected each preset as \"a pset:Preset ; lv2:appliesTo <...> ; rdfs:label \\\"...\\\" ; state:state ...\"")
endif()

write_if_changed ("${dsp_file}" "${dsp_original}" "${dsp}")
write_if_changed ("${manifest_file}" "${manifest_original}" "${manifest}")
