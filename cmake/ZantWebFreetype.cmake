# FreeType for the browser build, compiled to WebAssembly from Debian's source package of
# the very version the desktop build links, so that text rasterises to the same pixels.
# The sources are fetched once into the build folder (apt-get source, with source lists of
# the build folder's own, so the system's apt configuration is left as it is) and never
# enter our repository. Only what
# TrueType faces need is compiled: the TrueType driver and its SFNT tables, the smooth
# (grey) and the monochrome rasteriser, and the base with the glyph synthesis and the
# gasp table; the options are the package's own, with compressed font files left out.
#
# Two settings differ, and must, for the desktop's pixels. WebAssembly's `long` has 32 bits
# where the desktop's has 64, and without a 64-bit integer type FreeType does its
# fixed-point arithmetic with its 32-bit code, whose roundings differ now and then: its
# 64-bit integer type is forced. And the grey rasteriser flattens curves by one of two
# methods chosen by the processor, on 64-bit x86 and ARM by stepping along the curve
# (DDA), elsewhere by splitting it in halves, and the two differ by a step of coverage
# here and there (one pixel of the board's "0"): the stepping is chosen, through the one
# macro that selects it and that no other file of ours or FreeType's reads (_M_ARM64).
set(ZANT_FREETYPE_PACKAGE_VERSION "" CACHE STRING
    "Debian version of the FreeType source to build (empty: the installed libfreetype6's)")
if(NOT ZANT_FREETYPE_PACKAGE_VERSION)
  execute_process(COMMAND dpkg-query -W "-f=\${Version}" libfreetype6
                  OUTPUT_VARIABLE installed RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0 OR NOT installed)
    message(FATAL_ERROR "libfreetype6 is not installed: run script/bootstrap")
  endif()
  set(ZANT_FREETYPE_PACKAGE_VERSION ${installed})
endif()

set(ft_cache ${CMAKE_BINARY_DIR}/_deps/freetype-${ZANT_FREETYPE_PACKAGE_VERSION})
file(GLOB ft_source LIST_DIRECTORIES true ${ft_cache}/freetype-*)
list(FILTER ft_source INCLUDE REGEX "/freetype-[0-9][^/]*$")
if(NOT ft_source OR NOT EXISTS ${ft_source}/src/base/ftbase.c)
  message(STATUS "Fetching Debian's FreeType source ${ZANT_FREETYPE_PACKAGE_VERSION}")
  file(REMOVE_RECURSE ${ft_cache})
  file(MAKE_DIRECTORY ${ft_cache})
  # The source lists of the system's release, its updates and its security fixes (the
  # installed version may come from any of them), in a folder of the build's own, which
  # needs no root and no change to the system.
  set(apt ${CMAKE_BINARY_DIR}/_deps/apt)
  file(MAKE_DIRECTORY ${apt}/lists/partial ${apt}/cache/archives/partial)
  file(STRINGS /etc/os-release codename REGEX "^VERSION_CODENAME=")
  string(REPLACE "VERSION_CODENAME=" "" codename "${codename}")
  set(key "[signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]")
  file(WRITE ${apt}/sources.list
    "deb-src ${key} http://deb.debian.org/debian ${codename} main\n"
    "deb-src ${key} http://deb.debian.org/debian ${codename}-updates main\n"
    "deb-src ${key} http://deb.debian.org/debian-security ${codename}-security main\n")
  set(apt_options -o Dir::Etc::SourceList=${apt}/sources.list -o Dir::Etc::SourceParts=/dev/null
                  -o Dir::State::Lists=${apt}/lists -o Dir::Cache=${apt}/cache)
  execute_process(COMMAND apt-get ${apt_options} update -qq
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(status EQUAL 0)
    execute_process(COMMAND apt-get ${apt_options} source -qq --only-source
                            freetype=${ZANT_FREETYPE_PACKAGE_VERSION}
                    WORKING_DIRECTORY ${ft_cache} RESULT_VARIABLE status ERROR_VARIABLE errors)
  endif()
  file(GLOB ft_source LIST_DIRECTORIES true ${ft_cache}/freetype-*)
  list(FILTER ft_source INCLUDE REGEX "/freetype-[0-9][^/]*$")
  if(NOT status EQUAL 0 OR NOT ft_source)
    message(FATAL_ERROR "apt-get source freetype=${ZANT_FREETYPE_PACKAGE_VERSION} failed "
            "(it needs Debian's servers, and dpkg-dev):\n${errors}")
  endif()
endif()
message(STATUS "FreeType for the browser from ${ft_source}")

set(ft_config ${CMAKE_BINARY_DIR}/_deps/freetype-config)
file(WRITE ${ft_config}/zant_ftmodule.h
  "FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )\n"
  "FT_USE_MODULE( FT_Module_Class, sfnt_module_class )\n"
  "FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )\n"
  "FT_USE_MODULE( FT_Renderer_Class, ft_raster1_renderer_class )\n")
file(WRITE ${ft_config}/zant_ftoption.h
  "#include <freetype/config/ftoption.h>\n"
  "#undef FT_CONFIG_OPTION_USE_ZLIB\n"
  "#undef FT_CONFIG_OPTION_USE_LZW\n"
  "#undef FT_CONFIG_OPTION_POSTSCRIPT_NAMES\n"
  "#undef FT_CONFIG_OPTION_ADOBE_GLYPH_LIST\n"
  "#undef FT_CONFIG_OPTION_MAC_FONTS\n"
  "#undef FT_CONFIG_OPTION_GUESSING_EMBEDDED_RFORK\n"
  "#undef FT_CONFIG_OPTION_INCREMENTAL\n"
  "#undef FT_CONFIG_OPTION_SVG\n"
  "#undef TT_CONFIG_OPTION_EMBEDDED_BITMAPS\n"
  "#undef TT_CONFIG_OPTION_COLOR_LAYERS\n"
  "#undef TT_CONFIG_OPTION_POSTSCRIPT_NAMES\n"
  "#undef TT_CONFIG_OPTION_SFNT_NAMES\n"
  "#undef TT_CONFIG_OPTION_GX_VAR_SUPPORT\n"
  "#undef TT_CONFIG_OPTION_BDF\n"
  "#undef TT_CONFIG_CMAP_FORMAT_2\n"
  "#undef TT_CONFIG_CMAP_FORMAT_8\n"
  "#undef TT_CONFIG_CMAP_FORMAT_10\n"
  "#undef TT_CONFIG_CMAP_FORMAT_13\n"
  "#undef TT_CONFIG_CMAP_FORMAT_14\n"
  "#define FT_CONFIG_OPTION_FORCE_INT64\n")

add_library(zant_freetype STATIC
  ${ft_source}/src/base/ftsystem.c ${ft_source}/src/base/ftinit.c
  ${ft_source}/src/base/ftdebug.c ${ft_source}/src/base/ftbase.c
  ${ft_source}/src/base/ftbitmap.c ${ft_source}/src/base/ftglyph.c
  ${ft_source}/src/base/ftgasp.c ${ft_source}/src/base/ftsynth.c
  ${ft_source}/src/base/ftbbox.c
  ${ft_source}/src/truetype/truetype.c ${ft_source}/src/sfnt/sfnt.c
  ${ft_source}/src/smooth/smooth.c
  ${ft_source}/src/raster/raster.c)
# The options are public: the layer's text sees FreeType's types as the library has them.
target_include_directories(zant_freetype SYSTEM PUBLIC ${ft_source}/include ${ft_config})
target_compile_definitions(zant_freetype PUBLIC "FT_CONFIG_OPTIONS_H=<zant_ftoption.h>"
                           PRIVATE FT2_BUILD_LIBRARY "FT_CONFIG_MODULES_H=<zant_ftmodule.h>")
set_source_files_properties(${ft_source}/src/smooth/smooth.c PROPERTIES
                            COMPILE_DEFINITIONS _M_ARM64)
# The library's own code, not ours: its warnings are not ours to fix. It is compiled for
# size, the largest part of the program and one that runs once for each glyph and size
# (the layer keeps what it drew). The rest of the program keeps the build's optimisation:
# at -Oz the drawing slows the solver's start-up solve, which draws its busy notice.
target_compile_options(zant_freetype PRIVATE -w -Oz)
