# The real-window back end on SDL's display-less driver: what it makes of SDL's events and
# what it puts into a window. Built from the back end's own source so that it does not
# wait for the rest of the layer.
if(NOT WIN32 AND NOT ZANT_HEADLESS_ONLY)
  pkg_check_modules(ZANT_TEST_SDL2 REQUIRED IMPORTED_TARGET sdl2)
  pkg_check_modules(ZANT_TEST_X11 REQUIRED IMPORTED_TARGET x11)
  zant_add_gtest(sdl_backend_test LABEL unit TIMEOUT 60
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_backend_test.cpp
            ${PROJECT_SOURCE_DIR}/platform/sdl/sdl_backend.cpp
            ${PROJECT_SOURCE_DIR}/platform/sdl/x11_display.cpp
    LIBS PkgConfig::ZANT_TEST_SDL2 PkgConfig::ZANT_TEST_X11)
  target_include_directories(sdl_backend_test PRIVATE
    ${PROJECT_SOURCE_DIR}/platform/include
    ${PROJECT_SOURCE_DIR}/platform/src
    ${PROJECT_SOURCE_DIR}/platform/sdl)
endif()
