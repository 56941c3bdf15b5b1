# Compiler settings shared by every target of the project: the library, the
# program, the tests and the benchmarks link this INTERFACE target.
add_library(kelo_options INTERFACE)
target_compile_features(kelo_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(kelo_options INTERFACE -Wall -Wextra -Wpedantic)
if(KELO_WERROR)
    target_compile_options(kelo_options INTERFACE -Werror)
endif()
target_compile_definitions(kelo_options INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_USE_QSTRINGBUILDER)
if(KELO_SANITIZE)
    target_compile_options(kelo_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(kelo_options INTERFACE -fsanitize=address,undefined)
endif()
# The fuzz targets: the library carries libFuzzer's coverage instrumentation
# and the sanitizers; fuzz/ links each target with libFuzzer itself.
if(KELO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KELO_FUZZ needs clang (CMAKE_CXX_COMPILER=clang++)")
    endif()
    target_compile_options(kelo_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    target_link_options(kelo_options INTERFACE -fsanitize=address,undefined)
endif()
# Optimised builds (the package is one) get what Debian builds its own
# packages with: checked buffer functions, a guarded stack, and relocations
# made read-only before the program runs.
set(kelo_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
target_compile_options(kelo_options INTERFACE
    $<${kelo_optimised}:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong>)
target_link_options(kelo_options INTERFACE
    $<${kelo_optimised}:LINKER:-z,relro LINKER:-z,now>)
