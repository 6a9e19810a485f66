# The Windows setup program, built with NSIS and run under Wine in a prefix of its own:
# a silent install, the installed bundle loaded and rendered by the Windows test host, an
# upgrade and a silent uninstall. Each step needs the one before; they share the prefix, so
# the fixtures order them and the lock keeps them apart from the other Wine tests. Included
# from this folder's CMakeLists.txt in the Linux build; uses its windows_* variables.

set (installer_work "${CMAKE_CURRENT_BINARY_DIR}/installer")
set (run_installer "${CMAKE_CURRENT_SOURCE_DIR}/run_installer_checks.sh")
set (installer_arguments "${installer_work}" "${windows_bundle}"
     "${windows_build}/tests/windows/morsello_windows_host.exe" "${PROJECT_VERSION}")

add_test (NAME windows_installer_builds
          COMMAND ${run_installer} build ${installer_arguments})
add_test (NAME windows_installer_installs_the_bundle_and_the_uninstall_entry
          COMMAND ${run_installer} install ${installer_arguments})
add_test (NAME windows_installed_bundle_renders
          COMMAND ${run_installer} render ${installer_arguments})
add_test (NAME windows_installed_renders_match_linux
          COMMAND morsello_windows_comparison "${installer_work}/render/windows-renders.bin"
                  "${installer_work}/render/cross-platform-differences.txt")
add_test (NAME windows_installer_upgrade_leaves_what_one_install_leaves
          COMMAND ${run_installer} upgrade ${installer_arguments})
add_test (NAME windows_uninstaller_removes_what_was_installed_and_keeps_user_files
          COMMAND ${run_installer} uninstall ${installer_arguments})

set_tests_properties (
    windows_installer_builds
    windows_installer_installs_the_bundle_and_the_uninstall_entry
    windows_installed_bundle_renders
    windows_installed_renders_match_linux
    windows_installer_upgrade_leaves_what_one_install_leaves
    windows_uninstaller_removes_what_was_installed_and_keeps_user_files
    PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
set_tests_properties (
    windows_installer_installs_the_bundle_and_the_uninstall_entry
    windows_installed_bundle_renders
    windows_installer_upgrade_leaves_what_one_install_leaves
    windows_uninstaller_removes_what_was_installed_and_keeps_user_files
    PROPERTIES RESOURCE_LOCK wine)

set_tests_properties (windows_installer_builds PROPERTIES FIXTURES_SETUP windows_setup_program)
set_tests_properties (windows_installer_installs_the_bundle_and_the_uninstall_entry PROPERTIES
    FIXTURES_REQUIRED windows_setup_program FIXTURES_SETUP windows_installed)
set_tests_properties (windows_installed_bundle_renders PROPERTIES
    FIXTURES_REQUIRED windows_installed FIXTURES_SETUP windows_installed_renders)
set_tests_properties (windows_installed_renders_match_linux PROPERTIES FIXTURES_REQUIRED windows_installed_renders)
set_tests_properties (windows_installer_upgrade_leaves_what_one_install_leaves PROPERTIES
    FIXTURES_REQUIRED windows_installed DEPENDS windows_installed_bundle_renders)
# The uninstall ends the installed fixture: it runs after every test that needs the install.
set_tests_properties (windows_uninstaller_removes_what_was_installed_and_keeps_user_files PROPERTIES
    FIXTURES_REQUIRED windows_setup_program FIXTURES_CLEANUP windows_installed)
