# host_cli_tests: the command-line host glitter-host (target glitter_host_cli): its command line
# and value syntax in-process, and the program itself run as a process against the plug-in
# library and against broken stub libraries.
if(NOT TARGET glitter_host_cli)
    return()
endif()

# Stub plug-ins, each broken in one way by the definitions it is built with.
function(host_cli_stub name)
    add_library(host_cli_stub_${name} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/host_cli_stub_plugin.cpp)
    target_compile_definitions(host_cli_stub_${name} PRIVATE ${ARGN})
    target_link_libraries(host_cli_stub_${name} PRIVATE glitter_options)
endfunction()
host_cli_stub(old_version STUB_VERSION=0x42032B00 STUB_CLASS_COUNT=0)
host_cli_stub(no_class_desc STUB_VERSION=0x42042C00 STUB_CLASS_COUNT=0 STUB_OMIT_CLASS_DESC)
host_cli_stub(null_class STUB_VERSION=0x42042C00 STUB_CLASS_COUNT=1)
set(host_cli_stub_targets host_cli_stub_old_version host_cli_stub_no_class_desc host_cli_stub_null_class)

glitter_add_test_executable(host_cli_tests
    SOURCES
        ${CMAKE_CURRENT_SOURCE_DIR}/host_cli_program_test.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/host_cli_text_test.cpp
    LIBS glitter_host_cli_core glitter_host)

if(TARGET host_cli_tests)
    add_dependencies(host_cli_tests glitter_host_cli ${host_cli_stub_targets})
    target_compile_definitions(host_cli_tests PRIVATE
        GLITTER_HOST_EXE="$<TARGET_FILE:glitter_host_cli>"
        GLITTER_STUB_OLD_VERSION="$<TARGET_FILE:host_cli_stub_old_version>"
        GLITTER_STUB_NO_CLASS_DESC="$<TARGET_FILE:host_cli_stub_no_class_desc>"
        GLITTER_STUB_NULL_CLASS="$<TARGET_FILE:host_cli_stub_null_class>")
    if(TARGET glitter_plugin_dlt)
        add_dependencies(host_cli_tests glitter_plugin_dlt)
        target_compile_definitions(host_cli_tests PRIVATE
            GLITTER_PLUGIN_DLT="$<TARGET_FILE:glitter_plugin_dlt>")
    endif()
endif()
