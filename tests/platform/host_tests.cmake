# Tests of the host stand-in (platform/host), included by CMakeLists.txt beside this file.
set(GLITTER_HOST_LAYER_TESTS
    ${CMAKE_CURRENT_LIST_DIR}/host_test_material.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_param_block_desc_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_param_block_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_reference_test.cpp
)
list(APPEND GLITTER_HOST_LAYER_TESTS
    ${CMAKE_CURRENT_LIST_DIR}/host_sample_scene.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_scene_file_test.cpp
)
list(APPEND GLITTER_HOST_LAYER_TESTS
    ${CMAKE_CURRENT_LIST_DIR}/host_chunk_io_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_module_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_param_map_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_texmap_test.cpp
)
