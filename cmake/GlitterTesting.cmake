# One GoogleTest executable per subsystem. Test suites are labelled by name:
#   *Statistical*  -> statistical   (sampling and Monte Carlo checks, slower)
#   *Image*        -> image         (whole renders)
#   *Threads*      -> threads       (multithreaded; also run under ThreadSanitizer)
#   everything else -> quick
if(GLITTER_BUILD_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()

function(glitter_add_test_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT GLITTER_BUILD_TESTS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} glitter_test_support GTest::gtest GTest::gtest_main
                          glitter_options)
    # Test names carry the executable as a prefix ("flakes_tests.Suite.Case") so presets can
    # select the tests of the executables they build.
    foreach(kind quick statistical image threads)
        if(kind STREQUAL quick)
            set(filter "-*Statistical*:*Image*:*Threads*")
        elseif(kind STREQUAL statistical)
            set(filter "*Statistical*")
        elseif(kind STREQUAL image)
            set(filter "*Image*")
        else()
            set(filter "*Threads*")
        endif()
        gtest_discover_tests(${name} TEST_FILTER "${filter}" TEST_PREFIX "${name}."
                             PROPERTIES LABELS ${kind} DISCOVERY_TIMEOUT 60)
    endforeach()
endfunction()

# Fuzz targets: built with clang's libFuzzer in the `fuzz` preset only, and registered as
# CTest tests (label `fuzz`) that run for a bounded time from an empty or seeded corpus.
set(GLITTER_FUZZ_SECONDS 60 CACHE STRING "Seconds each fuzz target runs under CTest")
function(glitter_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;SEEDS" ${ARGN})
    if(NOT GLITTER_BUILD_FUZZERS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} glitter_options)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME fuzz.${name}
             COMMAND ${name} -max_total_time=${GLITTER_FUZZ_SECONDS} -rss_limit_mb=2048
                     -timeout=10 ${corpus} ${ARG_SEEDS})
    set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
endfunction()
