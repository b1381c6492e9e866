# zant_left_out(<text>...)
# A part of the build that needs a package only the tests and tools use, and that is left
# out because the package is missing: says so in one line (the texts joined, as message()
# does). With ZANT_REQUIRE_TEST_PACKAGES (script/test sets it) the line is an error instead,
# so that no test goes missing unseen.
function(zant_left_out)
  string(CONCAT text ${ARGN})
  if(ZANT_REQUIRE_TEST_PACKAGES)
    message(FATAL_ERROR "${text}\nZANT_REQUIRE_TEST_PACKAGES asks for every test and tool.")
  endif()
  message(STATUS "${text}")
endfunction()

# zant_add_resources(<target> <file.rc>)
# Windows: the resource compiler links the .rc into the program. Elsewhere the same .rc is
# compiled by windres into a standard .res file, which is embedded in the program for the
# portable layer to read at run time. There its <windows.h> is the layer's own, whose
# constants have the Windows values, run through the build's C preprocessor: no Windows
# headers or compiler are needed, only windres itself.
function(zant_add_resources target rcfile)
  get_filename_component(rc_abs ${rcfile} ABSOLUTE)
  get_filename_component(rc_dir ${rc_abs} DIRECTORY)
  get_filename_component(rc_name ${rc_abs} NAME_WE)
  if(WIN32)
    target_sources(${target} PRIVATE ${rc_abs})
    set_property(SOURCE ${rc_abs} APPEND PROPERTY OBJECT_DEPENDS ${ARGN})
    return()
  endif()
  find_program(ZANT_WINDRES NAMES x86_64-w64-mingw32-windres windres)
  if(NOT ZANT_WINDRES)
    message(FATAL_ERROR "windres not found: it compiles the game's resources "
                        "(Debian's binutils-mingw-w64-x86-64, which script/bootstrap installs)")
  endif()
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}.res)
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}_res.c)
  add_custom_command(
    OUTPUT ${res}
    COMMAND ${ZANT_WINDRES} --preprocessor=${CMAKE_C_COMPILER} --preprocessor-arg=-E
            --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
            -I ${PROJECT_SOURCE_DIR}/platform/include -I ${rc_dir} -O res -o ${res} ${rc_abs}
    DEPENDS ${rc_abs} ${ARGN} ${PROJECT_SOURCE_DIR}/platform/include/windows.h
    WORKING_DIRECTORY ${rc_dir}
    COMMENT "Compiling resources ${rc_name}.rc"
    VERBATIM)
  if(EMSCRIPTEN)
    # The game in the browser (ZANT_WEB_PICTURES names a folder of the site): its large
    # pictures go to the site as lossless WebP files, which the page decodes for the
    # program, and the rest of the .res is embedded (dist/web/pictures.py).
    if(ZANT_WEB_PICTURES)
      find_program(ZANT_CWEBP cwebp)
      if(NOT ZANT_CWEBP)
        message(FATAL_ERROR "cwebp not found: it writes the site's pictures (Debian's webp, "
                            "which script/bootstrap web installs)")
      endif()
      set(full_res ${res})
      set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}_embedded.res)
      add_custom_command(
        OUTPUT ${res}
        COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/dist/web/pictures.py ${full_res} ${res}
                ${ZANT_WEB_PICTURES} ${ZANT_CWEBP}
        DEPENDS ${full_res} ${PROJECT_SOURCE_DIR}/dist/web/pictures.py
        COMMENT "Writing the site's pictures of ${rc_name}.rc"
        VERBATIM)
    endif()
    # A C file whose top-level asm includes the .res (the C compiler takes no .S here), for
    # WebAssembly objects: a data section of its own, and every symbol with its size.
    file(WRITE ${asm}
      "__asm__(\n"
      "  \".section .rodata.zant_res,\\\"\\\",@\\n\"\n"
      "  \".globl zant_res_begin\\n\"\n"
      "  \".globl zant_res_end\\n\"\n"
      "  \".p2align 4\\n\"\n"
      "  \"zant_res_begin:\\n\"\n"
      "  \".incbin \\\"${res}\\\"\\n\"\n"
      "  \".size zant_res_begin, zant_res_end - zant_res_begin\\n\"\n"
      "  \"zant_res_end:\\n\"\n"
      "  \".size zant_res_end, 0\\n\");\n")
    set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${res})
    target_sources(${target} PRIVATE ${asm})
    return()
  endif()
  # A C file whose top-level asm includes the .res (the C compiler takes no .S here).
  file(WRITE ${asm}
    "__asm__(\n"
    "  \".pushsection .rodata\\n\"\n"
    "  \".balign 16\\n\"\n"
    "  \".globl zant_res_begin\\n\"\n"
    "  \".globl zant_res_end\\n\"\n"
    "  \"zant_res_begin:\\n\"\n"
    "  \".incbin \\\"${res}\\\"\\n\"\n"
    "  \"zant_res_end:\\n\"\n"
    "  \".popsection\\n\");\n")
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${res})
  target_sources(${target} PRIVATE ${asm})
endfunction()

# zant_add_gtest(<name> LABEL <label> [TIMEOUT <s>] [NO_MAIN] SOURCES ... LIBS ...)
# One GoogleTest program, run as one test with a label and a timeout. It gets
# GoogleTest's main() unless NO_MAIN is given.
function(zant_add_gtest name)
  cmake_parse_arguments(T "NO_MAIN" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  if(NOT T_NO_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  if(ZANT_WINE_FIXTURE)
    # Windows programs run under Wine, once its prefix is made; without Wine, wine-run
    # answers 77 and the test counts as skipped.
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ${ZANT_WINE_FIXTURE}
                                            SKIP_RETURN_CODE 77)
  endif()
endfunction()
