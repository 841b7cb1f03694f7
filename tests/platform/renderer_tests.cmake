# Tests of the renderer stand-in (platform/renderer), included by CMakeLists.txt beside this file.
set(GLITTER_RENDERER_LAYER_TESTS
    ${CMAKE_CURRENT_LIST_DIR}/renderer_layer_test.cpp
)
