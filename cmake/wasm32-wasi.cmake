# The core as WebAssembly for the web page, with Debian's own toolchain: clang for wasm32-wasi,
# wasi-libc, libc++-14-dev-wasm32, libclang-rt-14-dev-wasm32 (the compiler's builtins) and lld.
# No Emscripten: the module imports only the few WASI functions libc++ names, which the page
# provides itself. The build folder's web/ is the page, ready to serve.
#   cmake -S . -B build/wasm -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
# CMake knows no WASI platform of its own: cmake/Platform/WASI.cmake is ours.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_VERSION 1)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(triple wasm32-wasi)
find_program(VRAMORIA_WASM_CLANG NAMES clang-14 clang REQUIRED)
find_program(VRAMORIA_WASM_CLANGXX NAMES clang++-14 clang++ REQUIRED)
set(CMAKE_C_COMPILER ${VRAMORIA_WASM_CLANG})
set(CMAKE_CXX_COMPILER ${VRAMORIA_WASM_CLANGXX})
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
find_program(CMAKE_AR NAMES llvm-ar-14 llvm-ar)
find_program(CMAKE_RANLIB NAMES llvm-ranlib-14 llvm-ranlib)
# wasi-libc has no threads, and Debian's libc++ for wasm32 is built without exceptions.
set(CMAKE_C_FLAGS_INIT "-fno-exceptions")
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -fno-rtti")
# A reactor: no main(), the page calls the exported functions after _initialize.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mexec-model=reactor -Wl,--gc-sections -Wl,--strip-all")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
