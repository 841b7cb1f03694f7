# Interface targets every project target links: warnings and floating-point rules.

add_library(glitter_warnings INTERFACE)
target_compile_options(glitter_warnings INTERFACE -Wall -Wextra)
if(GLITTER_WERROR)
    target_compile_options(glitter_warnings INTERFACE -Werror)
endif()

# The flake pattern is defined bit for bit: no contraction into fused multiply-adds, no
# fast-math, and only the x86-64 baseline instruction set (SSE2).
add_library(glitter_fp INTERFACE)
target_compile_options(glitter_fp INTERFACE -ffp-contract=off -fno-fast-math)
if(GLITTER_SCALAR_KERNELS)
    target_compile_definitions(glitter_fp INTERFACE GLITTER_SCALAR_KERNELS=1)
endif()

add_library(glitter_options INTERFACE)
target_link_libraries(glitter_options INTERFACE glitter_warnings glitter_fp)
target_include_directories(glitter_options INTERFACE ${PROJECT_SOURCE_DIR})
