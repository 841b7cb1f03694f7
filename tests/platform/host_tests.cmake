# Tests of the host stand-in (platform/host), included by CMakeLists.txt beside this file.
set(GLITTER_HOST_LAYER_TESTS
    ${CMAKE_CURRENT_LIST_DIR}/host_param_block_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_object_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_scene_file_test.cpp
)

# The stored-scene loader's fuzzer, seeded with scenes the layer itself saves; it knows the
# plug-in's material class too.
if(GLITTER_BUILD_FUZZERS AND TARGET glitter_host AND TARGET glitter_plugin)
    add_executable(host_scene_seed_writer ${CMAKE_CURRENT_LIST_DIR}/host_scene_seed_writer.cpp)
    target_link_libraries(host_scene_seed_writer PRIVATE glitter_plugin glitter_host glitter_options)
    set(host_scene_seeds ${CMAKE_CURRENT_BINARY_DIR}/host_scene_seeds)
    add_custom_command(OUTPUT ${host_scene_seeds}/sample.glsc
                       COMMAND host_scene_seed_writer ${host_scene_seeds}
                       DEPENDS host_scene_seed_writer
                       COMMENT "Writing the scene loader fuzzer's seeds")
    add_custom_target(host_scene_seeds ALL DEPENDS ${host_scene_seeds}/sample.glsc)
    glitter_add_fuzzer(host_scene_loader_fuzzer
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_scene_loader_fuzzer.cpp
        LIBS glitter_plugin glitter_host
        SEEDS ${host_scene_seeds})
    add_dependencies(host_scene_loader_fuzzer host_scene_seeds)
endif()
