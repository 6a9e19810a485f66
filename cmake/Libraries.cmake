# Libraries from Debian that do work the plug-in's code once did by hand, included from the
# top-level CMakeLists.txt once the plug-in's library exists.
#
# expat reads the XML that comes from outside (a host's chunk, a recipe file: see
# source/processor/StrictXml.h). The Windows build links the static library that
# scripts/build-windows.sh makes from Debian's source package, so the plug-in's DLL still needs
# no DLL beyond Windows' own.
function (morsello_link_expat target)
    if (WIN32)
        set (CMAKE_FIND_LIBRARY_SUFFIXES .a)
    endif()

    find_package (EXPAT REQUIRED)
    target_link_libraries (${target} PRIVATE EXPAT::EXPAT)

    # Without it expat's header declares its functions as imported from a DLL.
    if (WIN32)
        target_compile_definitions (${target} PRIVATE XML_STATIC)
    endif()
endfunction()

morsello_link_expat (Morsello)
