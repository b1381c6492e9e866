# The browser build: Debian's emscripten, which compiles C++ to WebAssembly offline. Its
# optimiser runs on this machine's Node.js and needs Debian's acorn, which lives outside
# Node's own search path: every call of emcc gets NODE_PATH through a launcher, so a
# plain `cmake --build` works as well as the preset.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
set(ZANT_EMCC_ENV ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
set(CMAKE_C_COMPILER_LAUNCHER ${ZANT_EMCC_ENV})
set(CMAKE_CXX_COMPILER_LAUNCHER ${ZANT_EMCC_ENV})
set(CMAKE_C_LINKER_LAUNCHER ${ZANT_EMCC_ENV})
set(CMAKE_CXX_LINKER_LAUNCHER ${ZANT_EMCC_ENV})
